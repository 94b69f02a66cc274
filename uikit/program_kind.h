// Which of the two programs a shared UI-kit piece works for. The kit's track list and player panel
// exist in both programs with small differences (ids, captions, acceptance rules, messages).
#pragma once

enum class ProgramKind {
    Studio,  // the ringtone studio
    Burner,  // the disc burner
};
