// The drive box: a drop-down list of the system's drives. The selected
// drive is held as a lower-case letter; changing it, by the user or by the
// program, fires OnChange.
#pragma once

#include <string>
#include <vector>

#include "ui/controls.h"

class TDriveComboBox : public TComboBox {
public:
    static constexpr ControlKind kKind = ControlKind::DriveBox;
    using TComboBox::TComboBox;

    // The selected drive's letter in lower case; 0 before one is chosen.
    char Drive() const { return drive_; }
    // Selects the drive of `letter` (either case) and fires OnChange when it
    // differs from the drive held. A letter the list does not show is held
    // all the same (with no item selected); a non-letter is ignored.
    void SetDrive(char letter);
    // Rebuilds the list from the drives the system has now (after a network
    // drive was connected); the held drive stays selected. No OnChange.
    void BuildList();
    // The letters of the listed drives, in list order.
    const std::vector<char>& Letters() const { return letters_; }

    bool WantsDialogKey(WPARAM key) const override;
    void Notify(WORD code) override;

protected:
    DWORD Style() const override;
    void AfterCreate() override;

private:
    void SelectHeld();
    std::vector<char> letters_;
    char drive_ = 0;
};

// Text of one drive's item: "c: [LABEL]" for a fixed drive with a volume
// label, "x: \\server\share" for a network drive, otherwise just "a:".
// Removable media are not touched (no waiting for a drive door).
std::string DriveItemText(char letter);
