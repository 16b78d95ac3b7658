// The standard message dialog: a modal box whose kind sets its caption
// ("Warning", "Error", "Information", "Confirm") and icon, with the text and
// a row of buttons ("&Yes"/"&No", "OK", "Cancel"). The first button is the
// default (Enter); "&No" or "Cancel" is pressed by Esc, or "OK" when it is
// the only way out. Closing the box gives mrCancel.
#pragma once

#include <string>

#include "ui/application.h"

enum TMsgDlgType : int { mtWarning, mtError, mtInformation, mtConfirmation };

enum TMsgDlgButton : unsigned { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8 };
constexpr unsigned mbYesNo = mbYes | mbNo;

// Window class of the message dialog (for drivers that look for it).
constexpr char kMessageFormClass[] = "TMessageForm";

// Caption of a dialog kind.
const char* MessageDlgCaption(TMsgDlgType type);

// Shows the dialog and returns the modal result (mrYes, mrNo, mrOk,
// mrCancel). Line breaks in `text` are carriage returns (or CR LF).
int MessageDlg(const std::string& text, TMsgDlgType type, unsigned buttons);
