#pragma once
// A main window on scripted services, settings in a temporary folder, and the working directory
// put back afterwards.
#include "FakeServices.h"
#include "RecordingMessages.h"
#include "app/MainForm.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class MainWindowFixture : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString previousDir = QDir::currentPath();
    std::unique_ptr<QSettings> settings;
    RecordingMessages messages;
    ScriptedFiles files;
    RecordingLauncher launcher;
    std::unique_ptr<ProblemSession> session;
    std::unique_ptr<TMainForm> form;
    QString recoveryFolder; // none: the form keeps no recovery
    StudyOpener studies;    // none: the form offers no study

    void SetUp() override {
        settings = std::make_unique<QSettings>(dir.filePath("settings.ini"), QSettings::IniFormat);
    }
    void TearDown() override {
        form.reset();
        QDir::setCurrent(previousDir);
    }
    void start(const QStringList& args = {}, const QString& programFolder = QString()) {
        form.reset();
        session = std::make_unique<ProblemSession>();
        form = std::make_unique<TMainForm>(
            *session, TMainForm::Services{messages, files, launcher, *settings, recoveryFolder, studies},
            args, programFolder);
        form->FormShow();
    }
};
