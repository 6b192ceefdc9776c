#include "ovix/platform/Button.hpp"

namespace ovix::ui {

Button::Button(ViewKey key, Rect frame) : View(key, frame) {}

Button::~Button() = default;

void Button::addTarget(std::weak_ptr<void> target, Action action) {
  if (!action) return;
  targets_.push_back({std::move(target), std::move(action)});
}

void Button::sendTouchUpInside() {
  // An action may remove the button from its cell, dropping the last other
  // reference to it.
  const auto keepAlive = weak_from_this().lock();
  std::erase_if(targets_, [](const Target& entry) { return entry.target.expired(); });
  const std::vector<Target> current = targets_;
  for (const Target& entry : current) {
    if (const auto target = entry.target.lock()) entry.action(*this);
  }
}

}  // namespace ovix::ui
