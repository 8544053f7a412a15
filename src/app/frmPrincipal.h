// The main window (to be written).
#pragma once
