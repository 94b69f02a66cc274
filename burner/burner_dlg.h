// The disc burner's main window: a borderless window cut to the shape of its skin, painted from
// bitmaps, with eighteen bitmap buttons, the burn project's list and the capacity line. It runs
// the project commands (add, drop, delete, new list, moves, play, rename, open, save) and the
// frame commands (help menu, about, web site, contact, minimise, exit).
#pragma once

#include <QMenu>
#include <QPoint>
#include <QPointer>
#include <string>
#include <vector>

#include "burner/command_line.h"
#include "platform/body_drag.h"
#include "platform/dialog.h"

class CBitmapHoverButton;

namespace burner {

class CBurnerListCtrl;

class CBurnerDlg : public platform::Dialog {
    Q_OBJECT

  public:
    explicit CBurnerDlg(QWidget* parent = nullptr);
    ~CBurnerDlg() override;

    // The message that ends the window's modal run.
    static constexpr unsigned kQuitMessage = 0x0012;

    // The burn project's list.
    CBurnerListCtrl* list() const { return list_; }
    const std::string& capacityText() const { return capacityText_; }
    // Stores the capacity line and repaints its strip.
    void SetCapacityText(const std::string& text);
    // True once initialisation failed or a command asked the window to end.
    bool quitRequested() const { return quitRequested_; }
    // The help menu while it is open (null otherwise).
    QMenu* helpMenu() const { return helpMenu_; }
    // The skin button with window text `name` ("add", "exit2", ...), or null.
    CBitmapHoverButton* button(const std::string& name) const;

    // Files dropped on the window (full paths, in the order of the drop).
    void DropFiles(const std::vector<std::string>& paths);
    // Files named on the command line, loaded in order as drops and "Open" load them; one
    // message names those that did not load.
    void LoadStartFiles(const std::vector<StartFile>& files);
    // The command line's files, loaded with LoadStartFiles once the window is up and running.
    // startPending() is true until then.
    void OpenAtStart(std::vector<StartFile> files);
    bool startPending() const { return !startFiles_.empty(); }

    // The project commands that need a window of their own.
    // Record the CD: hands the project's paths to the recording dialog.
    void OnRecord();
    // Print the song list or a cover for the project.
    void OnPrint();

  protected:
    void OnInitDialog() override;
    void OnMessage(unsigned msg, platform::WParam w, platform::LParam l) override;

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void PostQuit();
    void NotEnoughMemory();
    void SetUpList();
    bool CreateButtons();
    void ApplyShapeAndPlace();
    void RegisterCommands();

    // Commands.
    void OnAdd();
    void OnDelete();
    void OnNewList();
    void OnMoveTop();
    void OnMoveUp();
    void OnMoveDown();
    void OnMoveBottom();
    void OnPlay();
    void OnRename();
    void OnOpenProject();
    void OnSaveProject();
    void OnHelp();
    void OnHelpTopic();
    void OnAbout();
    void OnWebsite();
    void OnContact();
    void OnMinimize();
    void OnExit();

    CBurnerListCtrl* list_ = nullptr;
    std::string capacityText_;
    QPointer<QMenu> helpMenu_;
    bool quitRequested_ = false;
    std::vector<StartFile> startFiles_;
    // Dragging the window by its body when the window system cannot move it itself.
    platform::BodyDrag drag_;
};

}  // namespace burner
