// A running program on a fresh installation folder, for the tests that
// drive whole documents. Settings live in the test's own folder (see
// gui_test_main.cpp).
#pragma once

#include "ui/controls/user_messages.h"
#include "ui/shell/main_frame.h"
#include "ui/shell/velmora_app.h"
#include "ui/shell/velmora_settings.h"
#include "ui/shell/velmora_view.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

struct AppFixture : ::testing::Test {
    QTemporaryDir install;
    std::unique_ptr<CVelmoraApp> app;
    QStringList messages;
    QStringList questions; // asked through the view's question sink
    bool answer = true;

    void SetUp() override {
        {
            auto settings = VelmoraSettings();
            settings->clear();
            settings->setValue(QStringLiteral("directory"), install.path() + QStringLiteral("/"));
            settings->setValue(QStringLiteral("maximized"), 0);
        }
        QDir().mkpath(install.filePath(QStringLiteral("images")));
        QFile::copy(QStringLiteral(":/images/default.gif"),
                    install.filePath(QStringLiteral("images/default.gif")));
        CVelmoraView::SetMessageSink([this](QWidget*, const QString& m) { messages << m; });
        CVelmoraView::SetQuestionSink([this](QWidget*, const QString& q) {
            questions << q;
            return answer;
        });
        SetUserMessageHook([this](const QString& m, MessageKind) { messages << m; });
        app = std::make_unique<CVelmoraApp>();
        ASSERT_TRUE(app->InitInstance({QStringLiteral("velmora")}));
        QTest::qWait(10);
    }
    void TearDown() override {
        CVelmoraView::SetSavePathChooser(nullptr);
        CVelmoraView::SetMessageSink(nullptr);
        CVelmoraView::SetQuestionSink(nullptr);
        SetUserMessageHook(nullptr);
        SetColorChooserHook(nullptr);
        app.reset();
    }
    CVelmoraView* View() const { return app->MainFrame()->ActiveView(); }
};
