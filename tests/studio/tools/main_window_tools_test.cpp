// The studio's "MP3 info" and "Big MP3s To Small" buttons: each opens its tool modally, and
// neither opens anything while a job of the main window runs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include "platform/scripted_ui.h"
#include "studio/app.h"
#include "studio/job_state.h"
#include "studio/main_window.h"
#include "studio/main_window_logic.h"
#include "studio/session.h"
#include "studio/tools/batch_downsizer_dlg.h"
#include "studio/tools/mp3_settings_dlg.h"

namespace {

using namespace studio;

TEST(StudioToolButtons, OpenTheirDialogsUnlessAJobRuns) {
    studio::Session session;
    ConstructApplication(session);
    RegisterEditorControl();
    platform::ScopedScriptedUi ui;
    CRingsmithDlg window(session);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_FALSE(window.quitRequested());

    // Clicks `id` and returns the caption of the modal dialog it opened ("" for none).
    const auto openedBy = [&window](int id) {
        std::string caption;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&caption] {
            auto* dialog = qobject_cast<platform::Dialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            caption = dialog->windowTitle().toStdString();
            dialog->EndDialog(platform::IDCANCEL);
        });
        answer.start(20);
        QTest::mouseClick(window.Item(id), Qt::LeftButton);
        return caption;
    };
    EXPECT_EQ(openedBy(kCmdMp3Info), "MP3 SETTINGS:");
    EXPECT_EQ(openedBy(kCmdBigToSmall), "Big MP3s To Small:");
    EXPECT_TRUE(ui->messageTexts().empty());

    ASSERT_TRUE(session.job.TryStart());
    EXPECT_EQ(openedBy(kCmdMp3Info), "");
    EXPECT_EQ(openedBy(kCmdBigToSmall), "");
    session.job.End();
    EXPECT_EQ(ui->messageTexts(), (std::vector<std::string>{"Please wait...", "Please wait..."}));
}

}  // namespace
