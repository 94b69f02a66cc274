#include "platform/accelerators.h"

#include <QAction>
#include <QKeyEvent>
#include <utility>

#include "platform/dialog.h"

namespace platform {
namespace {

// Sees the keys that reached the dialog because no control under the focus used them.
class YieldingKeys : public QObject {
  public:
    YieldingKeys(Dialog& dialog, std::vector<Accelerator> table)
        : QObject(&dialog), dialog_(dialog), table_(std::move(table)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &dialog_ || event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(key->keyCombination());
        for (const Accelerator& accelerator : table_) {
            if (accelerator.keys.matches(pressed) != QKeySequence::ExactMatch) continue;
            if (!key->isAutoRepeat()) dialog_.Command(accelerator.command);
            return true;
        }
        return false;
    }

  private:
    Dialog& dialog_;
    std::vector<Accelerator> table_;
};

// Qt names two keys by their key-cap abbreviations; help pages and tooltips spell them out.
QString KeysText(const QKeySequence& keys) {
    QString text = keys.toString(QKeySequence::NativeText);
    for (const auto& [cap, word] : {std::pair{"Ins", "Insert"}, std::pair{"Del", "Delete"}}) {
        const QString key = QString::fromLatin1(cap);
        if (text == key || text.endsWith(QLatin1Char('+') + key))
            text = text.left(text.size() - key.size()) + QString::fromLatin1(word);
    }
    return text;
}

}  // namespace

QList<QAction*> InstallAccelerators(Dialog& dialog, const std::vector<Accelerator>& table) {
    QList<QAction*> actions;
    std::vector<Accelerator> yielding;
    for (const Accelerator& accelerator : table) {
        if (accelerator.yieldsToFocus) {
            yielding.push_back(accelerator);
            continue;
        }
        auto* action = new QAction(&dialog);
        action->setShortcut(accelerator.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        const int command = accelerator.command;
        QObject::connect(action, &QAction::triggered, &dialog,
                         [&dialog, command] { dialog.Command(command); });
        dialog.addAction(action);
        actions.push_back(action);
    }
    if (!yielding.empty()) dialog.installEventFilter(new YieldingKeys(dialog, std::move(yielding)));
    return actions;
}

QString AcceleratorText(const std::vector<Accelerator>& table, int command) {
    QStringList keys;
    for (const Accelerator& accelerator : table) {
        if (accelerator.command == command)
            keys << KeysText(accelerator.keys);
    }
    return keys.join(QStringLiteral(" or "));
}

QString TipWithKeys(const QString& text, const std::vector<Accelerator>& table, int command) {
    const QString keys = AcceleratorText(table, command);
    return keys.isEmpty() ? text : text + QStringLiteral(" (") + keys + QStringLiteral(")");
}

}  // namespace platform
