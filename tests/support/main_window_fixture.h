// The main window on a home folder of the test's own (settings file, trash and desktop
// there), with the application-wide error handler's messages collected. Include it from
// one source file per test program: it also supplies the program's application object.
#pragma once
#include "app/application.h"
#include "app/main_window.h"
#include "platform/settings.h"

#include "test_pictures.h"
#include "testutil.h"

#include <QApplication>
#include <QDir>
#include <QItemSelectionModel>
#include <QMap>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <utility>

QApplication* qvtestCreateApplication(int& argc, char** argv) { return new QuorvelApplication(argc, argv); }

namespace qvtest {

inline const QString kSettingsBase = QStringLiteral("Software\\Morwenly\\Quorvel\\1.5\\");

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        home = QDir::cleanPath(m_dir.path()) + "/ann";
        for (const char* d : {"Desktop", "Pictures", ".config/quorvel", ".local/share"})
            QDir().mkpath(home + "/" + d);
        m_env.set("HOME", home);
        m_env.set("XDG_CONFIG_HOME", home + "/.config");
        m_env.set("XDG_DATA_HOME", home + "/.local/share");
        Configurazione = TConfigurazione{};
        setErrorPresenter([this](const QString& title, const QString& text) {
            errorTitle = title;
            errors << text;
        });
    }
    void TearDown() override
    {
        window.reset();
        EXPECT_TRUE(errors.isEmpty()) << errors.join(" | ").toStdString();
    }
    QString settingsFile() const { return home + "/.config/quorvel/registry.reg"; }
    QString pictures(const QString& name = {}) const { return home + "/Pictures" + (name.isEmpty() ? "" : "/" + name); }

    // Values the settings file holds when the window opens; key is below the program's key
    // unless it begins with "Software\".
    void settingDword(const QString& key, const QString& name, quint32 value)
    {
        setting(key, name, QString("dword:%1").arg(value, 8, 16, QLatin1Char('0')));
    }
    void settingText(const QString& key, const QString& name, const QString& value)
    {
        setting(key, name, '"' + value + '"');
    }

    TfrmPrincipale& open()
    {
        window.reset(); // its destruction writes the settings file
        if (!m_settings.isEmpty()) {
            QString text = "Windows Registry Editor Version 5.00\n";
            for (auto it = m_settings.cbegin(); it != m_settings.cend(); ++it)
                text += "\n[HKEY_CURRENT_USER\\" + it.key() + "]\n" + it.value().join('\n') + "\n";
            writeFile(settingsFile(), text.toUtf8());
        }
        window = std::make_unique<TfrmPrincipale>();
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        return *window;
    }
    // The read-folder command on folder, as the toolbar gives it.
    void readFolder(const QString& folder)
    {
        window->CartellaCorrente = folder;
        window->TransparentButton1Click();
    }
    // An item for a picture file whose thumbnail is not made yet.
    void addUnloadedItem(const QString& path)
    {
        window->catalogue().model().addItem({path.section('/', -1).toUpper(), 0, {path, "", "", "0", "", "0"}});
    }
    int row(const QString& path) const { return window->catalogue().model().rowOfPath(path); }
    int count() const { return window->catalogue().model().count(); }
    void select(const QStringList& paths)
    {
        QItemSelectionModel* selection = window->ListView1->selectionModel();
        selection->clearSelection();
        for (const QString& p : paths)
            selection->select(window->ListView1->model()->index(row(p), 0), QItemSelectionModel::Select);
    }
    // The messages shown so far, which the test expected; none are left for the final check.
    QStringList takeErrors() { return std::exchange(errors, {}); }

    QString home;
    std::unique_ptr<TfrmPrincipale> window;
    QStringList errors;
    QString errorTitle;

private:
    void setting(const QString& key, const QString& name, const QString& value)
    {
        QStringList& lines = m_settings[key.startsWith("Software\\") ? key : kSettingsBase + key];
        const QString start = '"' + name + "\"=";
        lines.removeIf([&](const QString& line) { return line.startsWith(start); });
        lines << start + value;
    }

    qvtest::TempDir m_dir;
    ScopedEnv m_env;
    QMap<QString, QStringList> m_settings;
};

} // namespace qvtest
