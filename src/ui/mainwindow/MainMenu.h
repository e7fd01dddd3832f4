#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

class QAction;
class QMenu;
class QMenuBar;

namespace zm {

// The main window's menu bar: the commands with their ids, keys, separators and prompts,
// the device-log dates and the language list. Captions start as the translation keys, as
// the menu resource had them; the translation service tags and translates them. Every
// command action carries its id as the property "commandId" and a stable objectName.
class CMainMenu final : public QObject {
    Q_OBJECT
  public:
    static constexpr const char* kIdProperty = "commandId";
    static constexpr const char* kLanguageCaption = "Language";
    static constexpr const char* kUpdateListCaption = "Update this list";

    explicit CMainMenu(QMenuBar* bar);

    // The command action with this id, or null.
    QAction* Action(int id) const { return actions_.value(id, nullptr); }
    QMenu* DeviceLogMenu() const { return deviceLogMenu_; }
    QMenu* LanguageMenu() const { return languageMenu_; }

    // The alarm lifecycle's items: "Alarm history..." after the device-list commands and
    // "Repeat sound until acknowledged" after "Play alert sound".
    void AddAlarmLifecycle();

    // The dates of the device-log submenu, one item each (ids 1140 + position), then a
    // separator and "Update this list".
    void SetDeviceLogDates(const QStringList& dates);
    const QStringList& DeviceLogDates() const { return dates_; }

    // The Language submenu at the end of the File menu, present only with two or more
    // languages (at most five items, ids 1390 + index); the current one is checked.
    void SetLanguages(const QStringList& languages, const QString& current);

  signals:
    // A command was chosen (menu item, or a caller's Trigger).
    void Command(int id);

  private:
    QAction* AddCommand(QMenu* menu, int id, const char* key, const char* objectName,
                        const char* prompt, const char* tip = nullptr, bool checkable = false);

    QMenuBar* bar_;
    QMenu* fileMenu_ = nullptr;
    QMenu* alarmMenu_ = nullptr;
    QMenu* deviceLogMenu_ = nullptr;
    QMenu* languageMenu_ = nullptr;
    QAction* languageMenuAction_ = nullptr;
    QHash<int, QAction*> actions_;
    QStringList dates_;
};

}  // namespace zm
