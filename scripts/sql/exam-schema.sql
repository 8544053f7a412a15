-- The examination tables of the host product's database, as the removal sees
-- them: thirteen live tables and their "_BK" backup twins of identical
-- structure. Portable between SQLite and MariaDB (InnoDB): one statement per
-- line, each ending in a semicolon, no engine-specific syntax, no foreign keys
-- (the program relies on none). Every join column carries an index.

-- Live tables.
CREATE TABLE Exame (Número_Exame VARCHAR(20) NOT NULL, Nome_Paciente VARCHAR(100) NOT NULL, Data_Nascimento DATE, Sexo CHAR(1), Data_Exame DATE NOT NULL, Médico_Solicitante VARCHAR(100), Convênio VARCHAR(60), Material VARCHAR(100), Situação VARCHAR(20), PRIMARY KEY (Número_Exame));
CREATE TABLE Exame_Página (ID_Página INTEGER NOT NULL, Número_Exame VARCHAR(20) NOT NULL, Número_Página INTEGER NOT NULL, Título VARCHAR(100), PRIMARY KEY (ID_Página));
CREATE INDEX IX_Exame_Página_Número_Exame ON Exame_Página (Número_Exame);
CREATE TABLE Exame_Imagem (ID_Imagem INTEGER NOT NULL, ID_Página INTEGER NOT NULL, Arquivo VARCHAR(255) NOT NULL, Legenda VARCHAR(200), Largura INTEGER, Altura INTEGER, PRIMARY KEY (ID_Imagem));
CREATE INDEX IX_Exame_Imagem_ID_Página ON Exame_Imagem (ID_Página);
CREATE TABLE Aplique (ID_Aplique INTEGER NOT NULL, Id_Imagem INTEGER NOT NULL, Posição_X INTEGER, Posição_Y INTEGER, Texto VARCHAR(100), PRIMARY KEY (ID_Aplique));
CREATE INDEX IX_Aplique_Id_Imagem ON Aplique (Id_Imagem);
CREATE TABLE Exame_Imagem_Backup (ID_Imagem_Backup INTEGER NOT NULL, Id_Imagem INTEGER NOT NULL, Arquivo_Original VARCHAR(255), Data_Backup DATETIME, PRIMARY KEY (ID_Imagem_Backup));
CREATE INDEX IX_Exame_Imagem_Backup_Id_Imagem ON Exame_Imagem_Backup (Id_Imagem);
CREATE TABLE Exame_Descritivo (ID_Exame_Descritivo INTEGER NOT NULL, Número_Exame VARCHAR(20) NOT NULL, Ordem INTEGER NOT NULL, Título VARCHAR(100), Texto VARCHAR(2000), PRIMARY KEY (ID_Exame_Descritivo));
CREATE INDEX IX_Exame_Descritivo_Número_Exame ON Exame_Descritivo (Número_Exame);
CREATE TABLE Bethesda (ID_Bethesda INTEGER NOT NULL, Número_Exame VARCHAR(20) NOT NULL, Adequabilidade VARCHAR(60), Categoria VARCHAR(60), Interpretação VARCHAR(200), PRIMARY KEY (ID_Bethesda));
CREATE INDEX IX_Bethesda_Número_Exame ON Bethesda (Número_Exame);
CREATE TABLE Exame_Etapa (ID_Exame_Etapa INTEGER NOT NULL, Número_Exame VARCHAR(20) NOT NULL, Etapa VARCHAR(40) NOT NULL, Data_Início DATETIME, Data_Fim DATETIME, PRIMARY KEY (ID_Exame_Etapa));
CREATE INDEX IX_Exame_Etapa_Número_Exame ON Exame_Etapa (Número_Exame);
CREATE TABLE Exame_Etapa_Histórico (ID_Exame_Etapa_Histórico INTEGER NOT NULL, ID_Exame_Etapa INTEGER NOT NULL, Data_Hora DATETIME NOT NULL, Usuário VARCHAR(40), Observação VARCHAR(200), PRIMARY KEY (ID_Exame_Etapa_Histórico));
CREATE INDEX IX_Exame_Etapa_Histórico_ID_Exame_Etapa ON Exame_Etapa_Histórico (ID_Exame_Etapa);
CREATE TABLE Exame_Etapa_Imprimir (ID_Exame_Etapa_Imprimir INTEGER NOT NULL, ID_Exame_Etapa INTEGER NOT NULL, Impressora VARCHAR(60), Cópias INTEGER, Impresso INTEGER, PRIMARY KEY (ID_Exame_Etapa_Imprimir));
CREATE INDEX IX_Exame_Etapa_Imprimir_ID_Exame_Etapa ON Exame_Etapa_Imprimir (ID_Exame_Etapa);
CREATE TABLE Exame_CID (ID_Exame_CID INTEGER NOT NULL, Número_Exame VARCHAR(20) NOT NULL, Código_CID VARCHAR(10) NOT NULL, Descrição VARCHAR(200), PRIMARY KEY (ID_Exame_CID));
CREATE INDEX IX_Exame_CID_Número_Exame ON Exame_CID (Número_Exame);
CREATE TABLE Exame_Descritivo_Impressão_Tipo (ID_Impressão_Tipo INTEGER NOT NULL, Número_Exame VARCHAR(20) NOT NULL, Tipo_Impressão VARCHAR(40), Modelo VARCHAR(60), PRIMARY KEY (ID_Impressão_Tipo));
CREATE INDEX IX_Exame_Descritivo_Impressão_Tipo_Número_Exame ON Exame_Descritivo_Impressão_Tipo (Número_Exame);
CREATE TABLE Exame_Responsável (ID_Exame_Responsável INTEGER NOT NULL, Número_Exame VARCHAR(20) NOT NULL, Nome_Médico VARCHAR(100) NOT NULL, CRM VARCHAR(20), Função VARCHAR(40), PRIMARY KEY (ID_Exame_Responsável));
CREATE INDEX IX_Exame_Responsável_Número_Exame ON Exame_Responsável (Número_Exame);

-- Backup twins.
CREATE TABLE Exame_BK (Número_Exame VARCHAR(20) NOT NULL, Nome_Paciente VARCHAR(100) NOT NULL, Data_Nascimento DATE, Sexo CHAR(1), Data_Exame DATE NOT NULL, Médico_Solicitante VARCHAR(100), Convênio VARCHAR(60), Material VARCHAR(100), Situação VARCHAR(20), PRIMARY KEY (Número_Exame));
CREATE TABLE Exame_Página_BK (ID_Página INTEGER NOT NULL, Número_Exame VARCHAR(20) NOT NULL, Número_Página INTEGER NOT NULL, Título VARCHAR(100), PRIMARY KEY (ID_Página));
CREATE INDEX IX_Exame_Página_BK_Número_Exame ON Exame_Página_BK (Número_Exame);
CREATE TABLE Exame_Imagem_BK (ID_Imagem INTEGER NOT NULL, ID_Página INTEGER NOT NULL, Arquivo VARCHAR(255) NOT NULL, Legenda VARCHAR(200), Largura INTEGER, Altura INTEGER, PRIMARY KEY (ID_Imagem));
CREATE INDEX IX_Exame_Imagem_BK_ID_Página ON Exame_Imagem_BK (ID_Página);
CREATE TABLE Aplique_BK (ID_Aplique INTEGER NOT NULL, Id_Imagem INTEGER NOT NULL, Posição_X INTEGER, Posição_Y INTEGER, Texto VARCHAR(100), PRIMARY KEY (ID_Aplique));
CREATE INDEX IX_Aplique_BK_Id_Imagem ON Aplique_BK (Id_Imagem);
CREATE TABLE Exame_Imagem_Backup_BK (ID_Imagem_Backup INTEGER NOT NULL, Id_Imagem INTEGER NOT NULL, Arquivo_Original VARCHAR(255), Data_Backup DATETIME, PRIMARY KEY (ID_Imagem_Backup));
CREATE INDEX IX_Exame_Imagem_Backup_BK_Id_Imagem ON Exame_Imagem_Backup_BK (Id_Imagem);
CREATE TABLE Exame_Descritivo_BK (ID_Exame_Descritivo INTEGER NOT NULL, Número_Exame VARCHAR(20) NOT NULL, Ordem INTEGER NOT NULL, Título VARCHAR(100), Texto VARCHAR(2000), PRIMARY KEY (ID_Exame_Descritivo));
CREATE INDEX IX_Exame_Descritivo_BK_Número_Exame ON Exame_Descritivo_BK (Número_Exame);
CREATE TABLE Bethesda_BK (ID_Bethesda INTEGER NOT NULL, Número_Exame VARCHAR(20) NOT NULL, Adequabilidade VARCHAR(60), Categoria VARCHAR(60), Interpretação VARCHAR(200), PRIMARY KEY (ID_Bethesda));
CREATE INDEX IX_Bethesda_BK_Número_Exame ON Bethesda_BK (Número_Exame);
CREATE TABLE Exame_Etapa_BK (ID_Exame_Etapa INTEGER NOT NULL, Número_Exame VARCHAR(20) NOT NULL, Etapa VARCHAR(40) NOT NULL, Data_Início DATETIME, Data_Fim DATETIME, PRIMARY KEY (ID_Exame_Etapa));
CREATE INDEX IX_Exame_Etapa_BK_Número_Exame ON Exame_Etapa_BK (Número_Exame);
CREATE TABLE Exame_Etapa_Histórico_BK (ID_Exame_Etapa_Histórico INTEGER NOT NULL, ID_Exame_Etapa INTEGER NOT NULL, Data_Hora DATETIME NOT NULL, Usuário VARCHAR(40), Observação VARCHAR(200), PRIMARY KEY (ID_Exame_Etapa_Histórico));
CREATE INDEX IX_Exame_Etapa_Histórico_BK_ID_Exame_Etapa ON Exame_Etapa_Histórico_BK (ID_Exame_Etapa);
CREATE TABLE Exame_Etapa_Imprimir_BK (ID_Exame_Etapa_Imprimir INTEGER NOT NULL, ID_Exame_Etapa INTEGER NOT NULL, Impressora VARCHAR(60), Cópias INTEGER, Impresso INTEGER, PRIMARY KEY (ID_Exame_Etapa_Imprimir));
CREATE INDEX IX_Exame_Etapa_Imprimir_BK_ID_Exame_Etapa ON Exame_Etapa_Imprimir_BK (ID_Exame_Etapa);
CREATE TABLE Exame_CID_BK (ID_Exame_CID INTEGER NOT NULL, Número_Exame VARCHAR(20) NOT NULL, Código_CID VARCHAR(10) NOT NULL, Descrição VARCHAR(200), PRIMARY KEY (ID_Exame_CID));
CREATE INDEX IX_Exame_CID_BK_Número_Exame ON Exame_CID_BK (Número_Exame);
CREATE TABLE Exame_Descritivo_Impressão_Tipo_BK (ID_Impressão_Tipo INTEGER NOT NULL, Número_Exame VARCHAR(20) NOT NULL, Tipo_Impressão VARCHAR(40), Modelo VARCHAR(60), PRIMARY KEY (ID_Impressão_Tipo));
CREATE INDEX IX_Exame_Descritivo_Impressão_Tipo_BK_Número_Exame ON Exame_Descritivo_Impressão_Tipo_BK (Número_Exame);
CREATE TABLE Exame_Responsável_BK (ID_Exame_Responsável INTEGER NOT NULL, Número_Exame VARCHAR(20) NOT NULL, Nome_Médico VARCHAR(100) NOT NULL, CRM VARCHAR(20), Função VARCHAR(40), PRIMARY KEY (ID_Exame_Responsável));
CREATE INDEX IX_Exame_Responsável_BK_Número_Exame ON Exame_Responsável_BK (Número_Exame);
