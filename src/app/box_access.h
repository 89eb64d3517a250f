// The two edit boxes as the commands see them: read and replace their text as code page 936 Text.
// The window implements this; a batch program or a test can stand in for the window.
#pragma once

#include "text/text.h"

namespace morvane {

enum class Box { INPUT, RESULT };  // the input box 编辑框1 and the result box 编辑框2

class BoxAccess {
 public:
  virtual ~BoxAccess() = default;
  // The box's current text as the user sees it; empty when the box is empty.
  virtual Text GetBoxText(Box box) = 0;
  // Replaces the box's whole text; the box shows it at once.
  virtual void SetBoxText(Box box, const Text& text) = 0;
};

}  // namespace morvane
