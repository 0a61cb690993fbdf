#pragma once

#include <QDate>
#include <QDateTime>
#include <QSettings>
#include <QStringList>
#include <QTime>

// The settings store: QSettings in user scope under the application's identity, with typed
// accessors that each enter a group, touch one key and leave the group again, so no group is
// ever left open between calls. Integers are stored as their decimal text (an opaque colour,
// alpha 255, therefore reads back as a negative number); a missing key or a text that is not
// a number reads as 0. Keep one for a short batch of reads or writes: the constructor syncs
// with what others wrote, the destructor flushes. Writing the value a key already holds
// leaves the file as it is.
//
// A store that cannot be written (read-only file or folder) is not an error the program
// stops for: writes stay in memory, shared by every CData of the process, and the first
// destructor that finds a file unwritable says so once on the debug stream.
class CData : public QSettings
{
public:
    CData();
    ~CData() override;

    int getInt(const QString &group, const QString &key);
    void setInt(const QString &group, const QString &key, int value);

    // With an empty key, `group` names a top-level key read as text.
    QString getString(const QString &group, const QString &key);
    // With an empty key, `group` names a top-level comma-separated list to which `value` is
    // appended unless already present.
    void setString(const QString &group, const QString &key, const QString &value);
    bool removeFromList(const QString &key, const QString &item);
    bool removeByValue(const QString &group, const QString &value);
    bool removeKey(const QString &group, const QString &key);
    bool removeEntry(const QString &key);
    QStringList keysOf(const QString &group);

    // Every group with its direct keys, as INI-like text with CR LF line ends.
    QString dumpText();

    QDateTime getDateTime(const QString &group, const QString &key);
    void setDateTime(const QString &group, const QString &key, const QDateTime &value);
    void clearDateTime(const QString &group, const QString &key);
    QDate getDate(const QString &group, const QString &key);
    void setDate(const QString &group, const QString &key, const QDate &value);
    QTime getTime(const QString &group, const QString &key);
    void setTime(const QString &group, const QString &key, const QTime &value);

private:
    bool unwritable() const;
    QVariant valueIn(const QString &group, const QString &key);
    void setValueIn(const QString &group, const QString &key, const QVariant &value);
};
