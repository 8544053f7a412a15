#include "ErrorMessages.h"

#include <unordered_map>

namespace platform {

const char* const kUnknownErrorText = "Erro definido pelo aplicativo ou pelo objeto";

namespace {

constexpr std::int32_t signedStatus(std::uint32_t status) {
    return static_cast<std::int32_t>(status);
}

const std::unordered_map<std::int32_t, const char*>& table() {
    static const std::unordered_map<std::int32_t, const char*> messages = {
        // Run-time errors.
        {5, "Chamada de procedimento ou argumento inválido"},
        {6, "Estouro"},
        {7, "Memória insuficiente"},
        {9, "Subscrito fora do intervalo"},
        {11, "Divisão por zero"},
        {13, "Tipos incompatíveis"},
        {52, "Nome ou número de arquivo incorreto"},
        {53, "Arquivo não encontrado"},
        {54, "Modo de arquivo incorreto"},
        {55, "O arquivo já está aberto"},
        {57, "Erro de E/S do dispositivo"},
        {58, "O arquivo já existe"},
        {61, "Disco cheio"},
        {62, "Entrada além do fim do arquivo"},
        {67, "Arquivos demais"},
        {68, "Dispositivo não disponível"},
        {70, "Permissão negada"},
        {71, "O disco não está pronto"},
        {74, "Não é possível renomear com unidade de disco diferente"},
        {75, "Erro de acesso ao caminho/arquivo"},
        {76, "Caminho não encontrado"},
        {91, "Variável de objeto ou variável de bloco With não definida"},
        {429, "O componente ActiveX não pode criar o objeto"},
        // ADO's own errors.
        {3001,
         "Os argumentos são do tipo errado, estão fora do intervalo aceitável ou estão em conflito "
         "uns com os outros"},
        {3021,
         "BOF ou EOF é verdadeiro, ou o registro atual foi excluído. A operação solicitada requer um "
         "registro atual"},
        {3265, "O item não pode ser encontrado na coleção correspondente ao nome ou ordinal solicitado"},
        {3704, "A operação não é permitida quando o objeto está fechado"},
        {3705, "A operação não é permitida quando o objeto está aberto"},
        {3706, "Não é possível encontrar o provedor. Ele pode não estar instalado corretamente"},
        {3709,
         "A conexão não pode ser usada para executar esta operação. Ela está fechada ou é inválida "
         "neste contexto"},
        // Status codes of providers and of the storage layer.
        {signedStatus(0x80004005u), "Erro não especificado"},
        {signedStatus(0x8007000Eu), "Memória insuficiente para concluir a operação"},
        {signedStatus(0x80070040u),
         "A conexão com o banco de dados foi perdida. Feche o programa e abra-o novamente"},
        {signedStatus(0x80030002u), "O arquivo do banco de dados não foi encontrado ou não pôde ser aberto"},
        {signedStatus(0x80030005u), "Acesso negado ao arquivo do banco de dados"},
        {signedStatus(0x80030070u), "Não há espaço suficiente no disco para concluir a operação"},
        {signedStatus(0x80040E09u), "Permissão negada: o banco de dados não pode ser alterado"},
        {signedStatus(0x80040E14u), "O comando contém um ou mais erros"},
        {signedStatus(0x80040E2Fu), "A operação violaria uma restrição de integridade do banco de dados"},
        {signedStatus(0x80040E31u),
         "Tempo limite esgotado: o banco de dados está bloqueado por outro usuário "
         "ou não respondeu a tempo"},
        {signedStatus(0x80040E37u), "A tabela não existe"},
        {signedStatus(0x80040E48u), "O arquivo não é um banco de dados válido ou está corrompido"},
        {signedStatus(0x80040E4Du), "Falha de autenticação: usuário ou senha inválidos"},
        {signedStatus(0x80040E96u), "Não foi possível estabelecer a conexão com o banco de dados"},
        {signedStatus(0x8004D001u), "Não foi possível confirmar a transação"},
        {signedStatus(0x8004D00Eu), "Não há transação ativa"},
        {signedStatus(0x8004D013u), "Já existe uma transação ativa nesta conexão"},
    };
    return messages;
}

}  // namespace

std::string StandardErrorText(std::int32_t number) {
    const auto& messages = table();
    auto it = messages.find(number);
    return it != messages.end() ? it->second : kUnknownErrorText;
}

}  // namespace platform
