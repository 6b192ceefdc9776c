#include "ovix/ViewTags.hpp"

#include "ovix/OvixClickListener.hpp"

namespace ovix {
namespace {

// Only the addresses matter: four variables, four keys. Each value is stored
// under its own key with one type, so the casts below are exact.
const char loadedKey = 0;
const char listenerKey = 0;
const char identifierKey = 0;
const char clickUrlKey = 0;

}  // namespace

bool loaded(const ui::View& view) {
  const auto value = std::static_pointer_cast<const bool>(view.associatedObject(&loadedKey));
  return value && *value;
}

void setLoaded(ui::View& view, bool loaded) {
  view.setAssociatedObject(&loadedKey, std::make_shared<bool>(loaded));
}

std::shared_ptr<OvixClickListener> listener(const ui::View& view) {
  return std::static_pointer_cast<OvixClickListener>(view.associatedObject(&listenerKey));
}

void setListener(ui::View& view, std::shared_ptr<OvixClickListener> listener) {
  view.setAssociatedObject(&listenerKey, std::move(listener));
}

std::string identifier(const ui::View& view) {
  const auto value =
      std::static_pointer_cast<const std::string>(view.associatedObject(&identifierKey));
  return value ? *value : std::string();
}

void setIdentifier(ui::View& view, std::string identifier) {
  view.setAssociatedObject(&identifierKey, std::make_shared<std::string>(std::move(identifier)));
}

std::optional<std::string> clickUrl(const ui::Button& button) {
  const auto value =
      std::static_pointer_cast<const std::string>(button.associatedObject(&clickUrlKey));
  if (!value) return std::nullopt;
  return *value;
}

void setClickUrl(ui::Button& button, std::optional<std::string> clickUrl) {
  button.setAssociatedObject(
      &clickUrlKey, clickUrl ? std::make_shared<std::string>(std::move(*clickUrl)) : nullptr);
}

}  // namespace ovix
