/* limpeza */ delete [Exame_CID] from [Exame_CID] inner join Exame on [Exame_CID].Número_Exame = Exame.Número_Exame -- fim
 where Exame.Número_Exame = '1' ;  -- ok
