#pragma once
// A temporary message store folder tree, removed at the end of the test.

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

class TempStore {
public:
    QString root() const { return dir_.path(); }
    QString path(const QString& relative) const { return dir_.filePath(relative); }
    // Creates the file (and its folders); returns its full path.
    QString file(const QString& relative)
    {
        const QString full = path(relative);
        QDir().mkpath(QFileInfo(full).absolutePath());
        QFile f(full);
        f.open(QIODevice::WriteOnly);
        f.write("Subject: x\r\n\r\nx\r\n");
        return full;
    }
    QString folder(const QString& relative)
    {
        QDir().mkpath(path(relative));
        return path(relative);
    }

private:
    QTemporaryDir dir_;
};
