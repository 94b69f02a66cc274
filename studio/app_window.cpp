// The window that start-up runs modally. Until the studio's main window is part of the program,
// a small window says so.
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/dialog.h"
#include "studio/app.h"

namespace studio {

std::unique_ptr<platform::Dialog> MakeMainWindow() {
    auto window = std::make_unique<platform::Dialog>();
    window->setWindowTitle(QStringLiteral("Ringsmith"));
    auto* layout = new QVBoxLayout(window.get());
    layout->addWidget(
        new QLabel(QStringLiteral("Ringsmith is installed and its codec engine is in place.\n"
                                  "The main window is not part of this version yet."),
                   window.get()));
    auto* close = new QPushButton(QStringLiteral("OK"), window.get());
    QObject::connect(close, &QPushButton::clicked, window.get(), &QDialog::accept);
    layout->addWidget(close);
    return window;
}

}  // namespace studio
