#include "excel/columnletters.h"

#include <limits>

QString columnLetters(int index)
{
    if (index < 0)
        return {};
    QChar letters[8]; // int's range needs at most 7 letters
    int count = 0;
    for (qint64 n = qint64(index) + 1; n > 0; n = (n - 1) / 26)
        letters[count++] = QChar(char16_t(u'A' + (n - 1) % 26));
    QString text(count, Qt::Uninitialized);
    for (int i = 0; i < count; ++i)
        text[i] = letters[count - 1 - i];
    return text;
}

int columnIndex(QStringView letters)
{
    if (letters.isEmpty())
        return -1;
    qint64 index = 0;
    for (const QChar c : letters) {
        if (c < u'A' || c > u'Z')
            return -1;
        index = index * 26 + (c.unicode() - u'A' + 1);
        if (index - 1 > qint64(std::numeric_limits<int>::max()))
            return -1;
    }
    return int(index - 1);
}
