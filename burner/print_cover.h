// The cover dialog (dialog 149, "Print CD cover:"): a preview of the CD cover with the album title
// and the project's song list, its background, fonts and colours, and printing on the default
// printer or into a PDF file.
#pragma once

#include <string>
#include <vector>

#include "burner/cover_layout.h"
#include "platform/dialog.h"

namespace burner {

class CPrintCoverDlg : public platform::Dialog {
    Q_OBJECT
  public:
    // Control ids of dialog 149.
    enum : int {
        kBackgroundId = 1044,
        kBackColorId = 1046,
        kClearId = 1048,
        kTitleFontId = 1050,
        kListFontId = 1052,
        kPrintId = 1013,
        kPrintPdfId = 1014,
        kAlbumTitleId = 11062,
        kTransparentId = 11068,
    };
    static constexpr int kDialogId = 149;

    // Copies of the project's "MP3 Title", "Time" and "Track" columns, first row first.
    CPrintCoverDlg(std::vector<std::string> titles, std::vector<std::string> times,
                   std::vector<std::string> tracks, QWidget* parent = nullptr);

    const CoverSettings& Cover() const { return cover_; }
    // The preview's area in dialog pixels (the frame and its inside).
    static QRect PreviewRect();

  protected:
    void OnInitDialog() override;

  private:
    void OnBackground();
    void OnBackColor();
    void OnClear();
    void OnTitleFont();
    void OnListFont();
    void OnPrint();
    void OnPrintPdf();
    void OnAlbumTitle();
    void OnTransparent();
    // Asks for a font and colour preset from `font` and `color`; true when they were changed.
    bool PickFont(QFont& font, QColor& color);
    void RepaintPreview();

    CoverSettings cover_;
    QWidget* preview_ = nullptr;
    int screenDpiY_ = 96;
};

}  // namespace burner
