#include "ovix/platform/View.hpp"

#include <algorithm>

namespace ovix::ui {

View::View(ViewKey, Rect frame) : frame_(frame) {}

View::~View() = default;

void View::setFrame(Rect frame) {
  const bool resized = frame.size != frame_.size;
  frame_ = frame;
  if (resized) layoutSubviews();
}

void View::setHidden(bool hidden) {
  if (hidden && !hidden_) ++timesHidden_;
  hidden_ = hidden;
}

void View::addSubview(std::shared_ptr<View> view) {
  if (!view || view.get() == this) return;
  for (auto above = superview(); above; above = above->superview()) {
    if (above == view) return;
  }
  view->removeFromSuperview();
  // Empty while a constructor runs; make() links the view afterwards.
  view->superview_ = weak_from_this();
  subviews_.push_back(std::move(view));
}

void View::removeFromSuperview() {
  const auto parent = superview_.lock();
  superview_.reset();
  if (!parent) return;
  auto& siblings = parent->subviews_;
  const auto found = std::find_if(siblings.begin(), siblings.end(),
                                  [this](const auto& sibling) { return sibling.get() == this; });
  if (found == siblings.end()) return;
  // The parent may have held the last reference; this view dies on return.
  const auto self = std::move(*found);
  siblings.erase(found);
}

void View::adoptSubviews() {
  for (const auto& view : subviews_) view->superview_ = weak_from_this();
}

void View::setAssociatedObject(const void* key, std::shared_ptr<void> value) {
  // The old value is released after the lock, since its destructor may come
  // back to this view.
  std::shared_ptr<void> old;
  std::lock_guard lock(associatedMutex_);
  const auto found = std::find_if(associated_.begin(), associated_.end(),
                                  [key](const auto& entry) { return entry.first == key; });
  if (found != associated_.end()) {
    old = std::move(found->second);
    if (value) {
      found->second = std::move(value);
    } else {
      associated_.erase(found);
    }
  } else if (value) {
    associated_.emplace_back(key, std::move(value));
  }
}

std::shared_ptr<void> View::associatedObject(const void* key) const {
  std::lock_guard lock(associatedMutex_);
  const auto found = std::find_if(associated_.begin(), associated_.end(),
                                  [key](const auto& entry) { return entry.first == key; });
  return found == associated_.end() ? nullptr : found->second;
}

}  // namespace ovix::ui
