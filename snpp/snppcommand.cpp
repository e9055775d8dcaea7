#include "snpp/snppcommand.h"

#include <array>
#include <utility>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

std::pair<QByteArray, QByteArray> SnppCommand::splitWord(const QByteArray& text)
{
    qsizetype start = 0;
    while (start < text.size() && isBlank(text[start]))
        ++start;
    qsizetype end = start;
    while (end < text.size() && !isBlank(text[end]))
        ++end;
    qsizetype rest = end;
    while (rest < text.size() && isBlank(text[rest]))
        ++rest;
    qsizetype restEnd = text.size();
    while (restEnd > rest && isBlank(text[restEnd - 1]))
        --restEnd;
    return {text.mid(start, end - start), text.mid(rest, restEnd - rest)};
}

SnppCommand SnppCommand::parse(const QByteArray& line)
{
    static const std::array<std::pair<const char*, Verb>, 13> verbs{{
        {"HOLD", Verb::Hold},
        {"CALL", Verb::Call},
        {"PAGE", Verb::Page},
        {"MESS", Verb::Mess},
        {"DATA", Verb::Data},
        {"SUBJ", Verb::Subj},
        {"RESE", Verb::Rese},
        {"SEND", Verb::Send},
        {"QUIT", Verb::Quit},
        {"HELP", Verb::Help},
        {"LOGI", Verb::Logi},
        {"LEVE", Verb::Leve},
        {"SITE", Verb::Site},
    }};
    const auto [word, rest] = splitWord(line);
    SnppCommand command;
    command.argument = rest;
    if (word.size() < 4)
        return command;
    const QByteArray name = word.left(4).toUpper();
    for (const auto& [text, verb] : verbs) {
        if (name == text) {
            command.verb = verb;
            break;
        }
    }
    return command;
}
