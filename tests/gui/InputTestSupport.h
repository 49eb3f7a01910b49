// Shared set-up of the window tests around the input fields: a program folder with the
// installed settings, the fake platform, all windows, and a way to act inside a modal window.
#pragma once

#include "FakePlatform.h"

#include "app/MainWindow.h"
#include "app/Windows.h"
#include "settings/SettingsFile.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace vexlo::test {

inline QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool WriteAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

/// Runs `inside` with the modal window that the next step opens, then closes it unless
/// `inside` did. Sets `seen` when a modal window was open. Looks again for a while when the
/// step processes events before its window opens.
inline void WhenModalOpens(std::function<void(QDialog *)> inside, bool *seen = nullptr, int triesLeft = 200)
{
    QTimer::singleShot(triesLeft == 200 ? 0 : 10, [inside = std::move(inside), seen, triesLeft]() mutable {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            if (triesLeft > 0)
                WhenModalOpens(std::move(inside), seen, triesLeft - 1);
            return;
        }
        if (seen)
            *seen = true;
        inside(dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
}

class ProgramFixture {
  public:
    void setUp()
    {
        program = std::make_unique<QTemporaryDir>();
        data = std::make_unique<QTemporaryDir>();
        QFile::copy(QStringLiteral(VEXLO_SOURCE_DIR "/resources/vexlopro.ini"), iniPath());
        QFile::setPermissions(iniPath(), QFile::ReadOwner | QFile::WriteOwner);
        platform = std::make_unique<FakePlatform>(ProgramFolder(ToBytes(program->path())));
        windows = std::make_unique<Windows>(*platform);
    }
    void tearDown()
    {
        windows.reset();
        platform.reset();
    }

    MainWindow &window() const { return windows->main(); }
    template <class T> T *find(const char *name) const
    {
        T *widget = window().centralWidget()->findChild<T *>(QString::fromLatin1(name));
        if (!widget)
            qWarning("no widget %s", name);
        return widget;
    }
    template <class T> static T *in(QWidget *window, const char *name)
    {
        T *widget = window->findChild<T *>(QString::fromLatin1(name));
        if (!widget)
            qWarning("no widget %s in %s", name, qPrintable(window->objectName()));
        return widget;
    }
    QString iniPath() const { return program->filePath(QStringLiteral("vexlopro.ini")); }
    std::string ini(const char *section, const char *key) const
    {
        return SettingsFile(ToBytes(iniPath())).read(section, key, "<missing>");
    }
    void setIni(const char *section, const char *key, const char *value) const
    {
        SettingsFile settings(ToBytes(iniPath()));
        settings.write(section, key, value);
    }
    QString dataFile(const char *name, const QByteArray &bytes) const
    {
        const QString path = data->filePath(QString::fromLatin1(name));
        WriteAll(path, bytes);
        return path;
    }
    /// The next open-file dialog chooses `path` with filter `filterIndex`.
    void answerDialog(const QString &path, int filterIndex = 1) const
    {
        platform->dialogAnswers.push_back(OpenFileResult{{path}, filterIndex});
    }

    std::unique_ptr<QTemporaryDir> program; // the program folder
    std::unique_ptr<QTemporaryDir> data;    // files to load
    std::unique_ptr<FakePlatform> platform;
    std::unique_ptr<Windows> windows;
};

} // namespace vexlo::test
