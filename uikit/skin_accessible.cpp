#include "uikit/skin_accessible.h"

#include <QAccessibleWidget>
#include <QScrollBar>

#include "uikit/skin_label.h"
#include "uikit/skin_list.h"

namespace skin {
namespace {

class ScrollBarAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    explicit ScrollBarAccessible(CSkinScrollBar* bar)
        : QAccessibleWidget(bar, QAccessible::ScrollBar) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            return bar()->orientation() == Qt::Vertical ? QStringLiteral("Vertical scroll bar")
                                                        : QStringLiteral("Horizontal scroll bar");
        }
        return QAccessibleWidget::text(kind);
    }

    QVariant currentValue() const override {
        const QScrollBar* target = bar()->target();
        return target ? target->value() : 0;
    }
    void setCurrentValue(const QVariant& value) override {
        if (QScrollBar* target = bar()->target()) {
            target->setValue(value.toInt());
            bar()->Sync();
        }
    }
    QVariant maximumValue() const override {
        const QScrollBar* target = bar()->target();
        return target ? target->maximum() : 0;
    }
    QVariant minimumValue() const override {
        const QScrollBar* target = bar()->target();
        return target ? target->minimum() : 0;
    }
    QVariant minimumStepSize() const override {
        const QScrollBar* target = bar()->target();
        return target ? target->singleStep() : 1;
    }

  private:
    CSkinScrollBar* bar() const { return static_cast<CSkinScrollBar*>(widget()); }
};

class ScrollingLabelAccessible : public QAccessibleWidget {
  public:
    explicit ScrollingLabelAccessible(CScrollingLabel* label)
        : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<CScrollingLabel*>(widget())->text();
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface* SkinControlFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("CSkinScrollBar")) {
        if (auto* bar = qobject_cast<CSkinScrollBar*>(object)) return new ScrollBarAccessible(bar);
    }
    if (className == QLatin1String("CScrollingLabel")) {
        if (auto* label = qobject_cast<CScrollingLabel*>(object))
            return new ScrollingLabelAccessible(label);
    }
    return nullptr;
}

}  // namespace

void InstallAccessibleSkinControls() {
    static const bool installed = [] {
        QAccessible::installFactory(SkinControlFactory);
        return true;
    }();
    (void)installed;
}

}  // namespace skin
