DELETE FROM Exame WHERE Número_Exame = x'31'
