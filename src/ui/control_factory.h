// The control factory: the object of the right class for each kind of
// layout row. A new kind of control is added here (and in ControlKind).
#pragma once

#include <memory>

#include "ui/controls.h"
#include "ui/layout.h"

// Control ids start above the dialog command ids (IDOK .. IDNO), which the
// form maps to its default and cancel buttons: the row at index i gets
// kFirstControlId + i.
constexpr int kFirstControlId = 100;

// The control of `row` for `form`, with the window id `id`; its window is
// made later (TControl::CreateHandle). Raises for an unknown kind.
std::unique_ptr<TControl> MakeControl(TForm& form, const ControlRow& row, int id);
