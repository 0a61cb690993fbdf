#include "cdata.h"

#include <QDebug>
#include <QSet>

namespace {

const QChar listSeparator = QLatin1Char(',');

// The files already reported as unwritable: one line each per process, however many writes
// fail after it.
QSet<QString> &reportedUnwritable()
{
    static QSet<QString> files;
    return files;
}

} // namespace

CData::CData()
{
    sync();
}

CData::~CData()
{
    sync();
    if (!unwritable() || reportedUnwritable().contains(fileName()))
        return;
    reportedUnwritable().insert(fileName());
    qDebug() << "=== Settings not saved, cannot write" << fileName();
}

// A write that failed leaves AccessError, unless reading the file left FormatError first (a
// group header the store could not parse), which hides it: then the file itself is asked.
bool CData::unwritable() const
{
    return status() == QSettings::AccessError || (status() == QSettings::FormatError && !isWritable());
}

QVariant CData::valueIn(const QString &group, const QString &key)
{
    beginGroup(group);
    const QVariant result = value(key, QVariant());
    endGroup();
    return result;
}

// Any write rewrites the whole file, dropping the lines the store could not parse (a user's
// comments, a hand-edited line gone wrong): a value the key already holds is not written again,
// so a file is only rewritten when a preference really changes.
void CData::setValueIn(const QString &group, const QString &key, const QVariant &value)
{
    beginGroup(group);
    const QVariant stored = this->value(key);
    if (stored.userType() != value.userType() || stored != value)
        setValue(key, value);
    endGroup();
}

int CData::getInt(const QString &group, const QString &key)
{
    return valueIn(group, key).toInt();
}

void CData::setInt(const QString &group, const QString &key, int value)
{
    setValueIn(group, key, QStringLiteral("%1").arg(value));
}

QString CData::getString(const QString &group, const QString &key)
{
    if (key.isEmpty())
        return value(group).toString();
    return valueIn(group, key).toString();
}

void CData::setString(const QString &group, const QString &key, const QString &value)
{
    if (!key.isEmpty()) {
        setValueIn(group, key, value);
        return;
    }
    const QString stored = this->value(group).toString();
    if (stored.split(listSeparator).contains(value))
        return;
    setValue(group, stored.isEmpty() ? value : stored + listSeparator + value);
}

bool CData::removeFromList(const QString &key, const QString &item)
{
    QString kept;
    const QStringList items = value(key).toString().split(listSeparator);
    for (const QString &each : items) {
        if (each == item)
            continue;
        if (!kept.isEmpty())
            kept += listSeparator;
        kept += each;
    }
    setValue(key, kept);
    return true;
}

bool CData::removeByValue(const QString &group, const QString &value)
{
    beginGroup(group);
    const QStringList keys = allKeys();
    for (const QString &key : keys) {
        if (this->value(key) == QVariant(value))
            remove(key);
    }
    endGroup();
    return true;
}

bool CData::removeKey(const QString &group, const QString &key)
{
    beginGroup(group);
    remove(key);
    endGroup();
    return true;
}

bool CData::removeEntry(const QString &key)
{
    remove(key);
    return true;
}

QStringList CData::keysOf(const QString &group)
{
    beginGroup(group);
    const QStringList keys = childKeys();
    endGroup();
    return keys;
}

QString CData::dumpText()
{
    sync();
    const QString lineEnd = QStringLiteral("\r\n");
    QString text;
    const QStringList groups = childGroups();
    for (const QString &group : groups) {
        text += lineEnd + QLatin1Char('[') + group + QLatin1Char(']') + lineEnd;
        const QStringList keys = keysOf(group);
        for (const QString &key : keys)
            text += key + QLatin1Char('=') + getString(group, key) + lineEnd;
    }
    return text;
}

QDateTime CData::getDateTime(const QString &group, const QString &key)
{
    return valueIn(group, key).toDateTime();
}

void CData::setDateTime(const QString &group, const QString &key, const QDateTime &value)
{
    setValueIn(group, key, value);
}

void CData::clearDateTime(const QString &group, const QString &key)
{
    setDateTime(group, key, QDateTime(QDate(0, 1, 1), QTime(0, 0, 0, 0), Qt::LocalTime));
}

QDate CData::getDate(const QString &group, const QString &key)
{
    return valueIn(group, key).toDate();
}

void CData::setDate(const QString &group, const QString &key, const QDate &value)
{
    setValueIn(group, key, value);
}

QTime CData::getTime(const QString &group, const QString &key)
{
    return valueIn(group, key).toTime();
}

void CData::setTime(const QString &group, const QString &key, const QTime &value)
{
    setValueIn(group, key, value);
}
