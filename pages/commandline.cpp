#include "pages/commandline.h"

CommandLine::Split CommandLine::split(const QByteArray& line)
{
    Split result;
    QByteArray word;
    bool inWord = false; // a word has begun, even an empty quoted one
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n) {
        const char c = line.at(i);
        if (c == ' ' || c == '\t') {
            if (inWord)
                result.words.append(word);
            word.clear();
            inWord = false;
            ++i;
        } else if (c == '\'') {
            const qsizetype end = line.indexOf('\'', i + 1);
            if (end < 0) {
                result.problem = "a single quote is not closed";
                result.words.clear();
                return result;
            }
            word += line.mid(i + 1, end - i - 1);
            inWord = true;
            i = end + 1;
        } else if (c == '"') {
            ++i;
            bool closed = false;
            while (i < n) {
                const char d = line.at(i);
                if (d == '"') {
                    closed = true;
                    ++i;
                    break;
                }
                if (d == '\\' && i + 1 < n && (line.at(i + 1) == '"' || line.at(i + 1) == '\\')) {
                    word += line.at(i + 1);
                    i += 2;
                    continue;
                }
                word += d;
                ++i;
            }
            if (!closed) {
                result.problem = "a double quote is not closed";
                result.words.clear();
                return result;
            }
            inWord = true;
        } else if (c == '\\') {
            if (i + 1 >= n) {
                result.problem = "the line ends in a backslash";
                result.words.clear();
                return result;
            }
            word += line.at(i + 1);
            inWord = true;
            i += 2;
        } else {
            word += c;
            inWord = true;
            ++i;
        }
    }
    if (inWord)
        result.words.append(word);
    return result;
}
