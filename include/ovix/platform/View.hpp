#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>
#include <vector>

#include "ovix/Export.hpp"
#include "ovix/platform/Geometry.hpp"

// The view model: a retained tree of views that the host's renderer walks and
// draws with its own toolkit. Views belong to the main thread: make, change
// and read them there only.
namespace ovix::ui {

class View;

// Makes a view of class V, View or a subclass of it; V's constructor receives
// a ViewKey and then `args`. The one way to make a view, so that every view
// is shared and linked to its superview even when its constructor built
// subviews. Main thread only.
template <class V, class... Args>
std::shared_ptr<V> make(Args&&... args);

// Proof that make() is making the view. A subclass's constructor takes one
// and hands it to its base class:
//
//   class AdCell : public ui::TableViewCell {
//    public:
//     explicit AdCell(ui::ViewKey key) : TableViewCell(key, Style::subtitle) {}
//   };
//   auto cell = ui::make<AdCell>();
class ViewKey {
  ViewKey() = default;
  template <class V, class... Args>
  friend std::shared_ptr<V> make(Args&&... args);
};

// A rectangle of the screen with ordered subviews. Polymorphic, so typeid and
// dynamic_pointer_cast tell a view's exact class.
class OVIX_EXPORT View : public std::enable_shared_from_this<View> {
 public:
  explicit View(ViewKey key, Rect frame = Rect());
  virtual ~View();
  View(const View&) = delete;
  View& operator=(const View&) = delete;

  // In the superview's coordinates, in points.
  Rect frame() const { return frame_; }
  // A change of size lets the view lay out its subviews.
  void setFrame(Rect frame);

  // A hidden view and its subviews are not drawn, and a hidden ad is not on
  // screen. Default: shown.
  bool isHidden() const { return hidden_; }
  void setHidden(bool hidden);
  // How many times the view went from shown to hidden: tells whether it was
  // hidden at some moment between two looks.
  std::uint64_t timesHidden() const { return timesHidden_; }

  std::int64_t tag() const { return tag_; }
  void setTag(std::int64_t tag) { tag_ = tag; }

  // Back to front: the last one is drawn on top.
  const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
  // Null when the view has no superview or it is gone; a view never keeps
  // its superview alive.
  std::shared_ptr<View> superview() const { return superview_.lock(); }

  // Puts `view` on top of this view's subviews, taking it out of its previous
  // superview first (this one included). Ignored for null, for this view and
  // for its superviews, any of which would make a cycle.
  void addSubview(std::shared_ptr<View> view);
  // Takes the view out of its superview's subviews.
  void removeFromSuperview();

  // Side storage: one value per key, held strongly and released as soon as it
  // is replaced, removed with a null value, or the view dies. A key is any
  // address the caller owns, such as that of a static variable. Unlike the
  // rest of the view, side storage may be read and written from any thread;
  // a replaced value is released on the thread that replaced it.
  void setAssociatedObject(const void* key, std::shared_ptr<void> value);
  // The value stored under `key`, or null. Any thread.
  std::shared_ptr<void> associatedObject(const void* key) const;

 protected:
  // Called after the frame's size has changed; subclasses that lay out their
  // subviews override it.
  virtual void layoutSubviews() {}

 private:
  template <class V, class... Args>
  friend std::shared_ptr<V> make(Args&&... args);
  // Links the subviews that a constructor added to this view.
  void adoptSubviews();

  Rect frame_;
  std::int64_t tag_ = 0;
  bool hidden_ = false;
  std::uint64_t timesHidden_ = 0;
  std::vector<std::shared_ptr<View>> subviews_;
  std::weak_ptr<View> superview_;

  mutable std::mutex associatedMutex_;
  std::vector<std::pair<const void*, std::shared_ptr<void>>>
      associated_;  // guarded by associatedMutex_
};

template <class V, class... Args>
std::shared_ptr<V> make(Args&&... args) {
  static_assert(std::is_base_of_v<View, V>, "ui::make makes views");
  auto view = std::make_shared<V>(ViewKey(), std::forward<Args>(args)...);
  static_cast<View&>(*view).adoptSubviews();
  return view;
}

}  // namespace ovix::ui
