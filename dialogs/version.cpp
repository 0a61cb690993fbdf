#include "version.h"

QString versionText(int packed, int build)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg((packed / 1000000) % 100)
        .arg((packed / 10000) % 100)
        .arg((packed / 100) % 100)
        .arg(build % 100);
}
