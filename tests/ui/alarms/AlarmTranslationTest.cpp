#include <gtest/gtest.h>

#include <QLabel>
#include <QTableWidget>

#include "base/Ini.h"
#include "base/MlsPrgMsg.h"
#include "base/MlsTestFiles.h"
#include "support/TempDir.h"
#include "ui/alarms/AlarmView.h"
#include "ui/alarms/AlarmWnd.h"
#include "ui/common/MessageBox.h"

namespace zm {
namespace {

// The alarm list in a loaded language, and back in English after the switch.
TEST(AlarmTranslation, ListTakesTheCurrentLanguageAtRetranslation) {
    test::TempDir dir;
    test::WriteUtf16Lines(
        dir.file("German.lng"),
        {"[Codepage]", "codepage=1252", "[AlarmView]", "tpAlarmView_NoAlarms= KEINE ALARME",
         "tpAlarmView_LastDevice= Letztes Gerät", "tpAlarmView_Sensor= Sensor-DE",
         "tpAlarmView_Time= Zeit", "tpAlarmView_Positions= Positionen",
         "tpAlarmView_ClearAlarmHistory= Alarmliste wirklich leeren",
         "tpAlarmView_ClearLogFile= Auch die Logdatei wird geleert"});
    CMlsPrgMsg service;
    service.SetFolder(dir.folder());
    service.InitLanguages();
    ASSERT_TRUE(service.SwitchLanguage("German"));

    CIni ini(dir.file("settings.ini"));
    CAlarmWnd wnd(ini);
    const CAlarmView& view = *wnd.View();
    EXPECT_EQ(view.Title(), "KEINE ALARME");
    QTableWidget* list = view.List();
    EXPECT_EQ(list->horizontalHeaderItem(1)->text(), "Sensor-DE:");
    EXPECT_EQ(list->horizontalHeaderItem(2)->text(), "Zeit:");
    EXPECT_EQ(list->horizontalHeaderItem(3)->text(), "Positionen:");
    EXPECT_EQ(wnd.findChild<QLabel*>("lastDeviceLabel")->text(), "Letztes Gerät:");
    MessageBox::SetNextAnswer(MsgResult::kCancel);
    wnd.View()->ResetHistory();
    EXPECT_EQ(MessageBox::Last().text,
              "Alarmliste wirklich leeren?\r\nAuch die Logdatei wird geleert!");

    // A kind in the title stays when the language changes; the empty title follows it.
    AlarmPopupEntry entry;
    entry.kind = "ALARM";
    entry.deviceName = "Pier-2";
    wnd.AddEntry(entry);
    ASSERT_TRUE(service.SwitchLanguage("English"));
    wnd.RetranslateUi();
    EXPECT_EQ(view.Title(), "!!! ALARM !!!");
    EXPECT_EQ(list->horizontalHeaderItem(1)->text(), "Sensor:");
    MessageBox::SetNextAnswer(MsgResult::kOk);
    wnd.View()->ResetHistory();
    EXPECT_EQ(view.Title(), "NO ALARMS");
}

}  // namespace
}  // namespace zm
