// The Qt implementation of the toolkit (to be written).
