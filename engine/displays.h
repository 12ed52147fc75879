// The two things on screen that the engine drives. The windows implement them.
#pragma once

#include "platform/services.h"

namespace kestovar {

// The progress window: a percentage text and a bar. Any operation may fail (Failure).
class ProgressDisplay {
 public:
  virtual ~ProgressDisplay() = default;
  virtual void Show() = 0;     // visible, not modal, in front
  virtual void Repaint() = 0;  // paint now, before returning
  virtual void SetPercentText(const Text& text) = 0;
  virtual void SetBarWidth(float twips) = 0;  // 4800 is the full bar
};

// The main window's list of missing files.
class MissingList {
 public:
  virtual ~MissingList() = default;
  virtual void SetText(const Text& text) = 0;
};

}  // namespace kestovar
