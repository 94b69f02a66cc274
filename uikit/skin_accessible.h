// What screen readers learn about the skinned controls that are no standard control underneath:
// the skinned scroll bars are scroll bars with the list's scroll position as their value, and
// the scrolling label is a static text named by its text. The skinned buttons, slider and
// progress bar are standard controls and are described by Qt itself.
#pragma once

namespace skin {

// Registers the descriptions with Qt's accessibility once; the controls call it when made.
void InstallAccessibleSkinControls();

}  // namespace skin
