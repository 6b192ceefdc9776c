#pragma once

#include <memory>
#include <optional>
#include <string>

#include "ovix/Export.hpp"
#include "ovix/platform/Button.hpp"
#include "ovix/platform/View.hpp"

// What the SDK remembers on the host's views: whether a cell is bound, the
// listener of its click button, the uuid of its ad, and a click button's URL.
// Stored beside the view and released with it. Set them on the main thread;
// reading them is safe from any thread.
namespace ovix {

class OvixClickListener;

// True once the SDK has bound the view to an ad. Set it back to false before
// binding a reused cell to another ad (OvixManager::prepareForReuse also
// does, for a cell about to show content).
OVIX_EXPORT bool loaded(const ui::View& view);
OVIX_EXPORT void setLoaded(ui::View& view, bool loaded);

// The listener of the view's click button. The view holds it, so it lives as
// long as the view or until replaced; null removes it.
OVIX_EXPORT std::shared_ptr<OvixClickListener> listener(const ui::View& view);
OVIX_EXPORT void setListener(ui::View& view, std::shared_ptr<OvixClickListener> listener);

// The uuid of the ad bound to the view; "" when none.
OVIX_EXPORT std::string identifier(const ui::View& view);
OVIX_EXPORT void setIdentifier(ui::View& view, std::string identifier);

// The click URL a click button opens; nothing when none. Setting nothing
// removes it.
OVIX_EXPORT std::optional<std::string> clickUrl(const ui::Button& button);
OVIX_EXPORT void setClickUrl(ui::Button& button, std::optional<std::string> clickUrl);

}  // namespace ovix
