#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "ovix/Export.hpp"
#include "ovix/platform/Color.hpp"
#include "ovix/platform/View.hpp"

namespace ovix::ui {

// A tappable view with target-action for touch-up-inside. The button holds
// each target weakly: it never keeps a target alive, and an action whose
// target has gone is skipped and forgotten. Main thread only.
class OVIX_EXPORT Button : public View {
 public:
  using Action = std::function<void(Button&)>;

  explicit Button(ViewKey key, Rect frame = Rect());
  ~Button() override;

  // Clear unless set.
  Color backgroundColor() const { return backgroundColor_; }
  void setBackgroundColor(Color color) { backgroundColor_ = color; }

  // Runs `action` on each tap while `target` lives. The action must not own
  // the target (capture it weakly, or use the form below), or the button
  // would keep it alive after all.
  void addTarget(std::weak_ptr<void> target, Action action);

  // Calls (target->*method)(button) on each tap while `target` lives.
  template <class T>
  void addTarget(const std::shared_ptr<T>& target, void (T::*method)(Button&)) {
    std::weak_ptr<T> weak = target;
    addTarget(weak, [weak, method](Button& button) {
      if (const auto alive = weak.lock()) (alive.get()->*method)(button);
    });
  }

  // Delivers a tap, as the host's renderer does when a touch ends inside the
  // button: runs the live targets' actions in the order they were added.
  // Actions added during the tap run from the next one.
  void sendTouchUpInside();

 private:
  struct Target {
    std::weak_ptr<void> target;
    Action action;
  };

  Color backgroundColor_ = Color::clear();
  std::vector<Target> targets_;
};

}  // namespace ovix::ui
