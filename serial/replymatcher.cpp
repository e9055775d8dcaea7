#include "serial/replymatcher.h"

ReplyMatcher::ReplyMatcher(const QByteArray& alternatives) : m_alternatives(alternatives.split('|'))
{
}

int ReplyMatcher::feed(char byte)
{
    m_collected.append(static_cast<char>(byte & 0x7F));
    for (qsizetype i = 0; i < m_alternatives.size(); ++i) {
        const QByteArray& alternative = m_alternatives.at(i);
        if (!alternative.startsWith(m_collected))
            continue;
        if (alternative.size() != m_collected.size())
            return -1;
        m_collected.clear();
        return static_cast<int>(i);
    }
    m_collected.clear();
    return -1;
}

int ReplyMatcher::feed(const char* bytes, int count, int* used)
{
    for (int i = 0; i < count; ++i) {
        const int index = feed(bytes[i]);
        if (index >= 0) {
            if (used)
                *used = i + 1;
            return index;
        }
    }
    if (used)
        *used = count;
    return -1;
}
