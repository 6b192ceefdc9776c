#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ovix/Export.hpp"
#include "ovix/OvixAdInfo.hpp"
#include "ovix/PrivacySignals.hpp"
#include "ovix/platform/Bundle.hpp"
#include "ovix/platform/Geometry.hpp"

namespace ovix {

class DurableBeacons;
class OvixAds;
class OvixEventListener;
class OvixInfeed;
class OvixRequest;
class Viewability;

namespace ui {
class CollectionViewCell;
class ImageView;
class Label;
class TableViewCell;
class View;
}  // namespace ui

// The host's way into the SDK: configuration, loading, rotation, binding,
// click-through and impressions. Use the one shared instance.
//
// Host calls belong on the main thread unless a call says otherwise. Every
// getter and setter may be called from any thread.
class OVIX_EXPORT OvixManager {
 public:
  // The shared manager: made on first use (safe when threads race to it),
  // never destroyed.
  static OvixManager& shared();

  // A manager of the host's own, configured from the device, the screen and
  // the bundles as they are now. Most hosts use shared() instead.
  OvixManager();
  // The same, with `bundle` in place of the SDK's own bundle: its version and
  // resources are the ones used.
  explicit OvixManager(std::shared_ptr<const Bundle> bundle);
  virtual ~OvixManager();
  OvixManager(const OvixManager&) = delete;
  OvixManager& operator=(const OvixManager&) = delete;

  // Stores `isEnabled` in the log switch `ovix::logging`.
  void log(bool isEnabled);

  // Loads ads for `request`; `ovixInfeed`, held weakly, hears the outcome
  // (see OvixInfeed for which thread). Refused silently on an iPad while
  // disableTablet() is true. Asks ovix::useragent for the user agent while
  // userAgent() is empty. Sends privacySignals() as they are now; a later
  // change leaves this load alone. Main thread; never blocks.
  void loadOvix(const OvixRequest& request, const std::shared_ptr<OvixInfeed>& ovixInfeed);

  // Empties the inventory: no ads, no rotation, no sent impressions, viewable
  // or not.
  void clearAd();
  // Adds records to the inventory; std::nullopt or an empty list does nothing.
  void add(const std::optional<std::vector<std::shared_ptr<OvixAdInfo>>>& list);
  // The next ad of slot `infeedId` in rotation, or null when the slot has none.
  std::shared_ptr<OvixAdInfo> hasNextAd(const std::string& infeedId);

  // How long an ad stays, in seconds, counted on a monotonic clock from when
  // its answer arrived (from add() for the host's own records). Older ads
  // leave the rotation and the inventory, at the latest at the next call
  // that reaches the inventory, so hasNextAd never returns one and a cell
  // bound to one sends no impression. 0 (the default), a negative value or
  // NaN keeps ads until clearAd(). Ads already older leave now. Any thread.
  void setAdTimeToLive(double seconds);
  double adTimeToLive() const;
  // The most ads a slot keeps: when an add brings more, the slot's oldest
  // leave. 0 (the default) sets no cap. Slots holding more lose their oldest
  // now. Any thread.
  void setMaximumAdsPerSlot(std::size_t maximum);
  std::size_t maximumAdsPerSlot() const;

  // Binds `adInfo` into a plain cell of exactly ui::TableViewCell (a subclass
  // is left alone) that is not yet loaded(): title and advertiser into its
  // labels, the placeholder then the image redrawn to `imageSize` into its
  // image view, the ad label, and a click button of screenWidth() by
  // `height` on top. A rebinding (after setLoaded(false)) replaces what an
  // earlier binding added, and the cell only ever shows the image of its
  // latest binding. Main thread.
  void setInfeed(const std::shared_ptr<ui::TableViewCell>& cell,
                 const std::shared_ptr<OvixAdInfo>& adInfo, double height, Size imageSize);

  // Binds `adInfo` into the host's own views of a table cell of any class that
  // is not yet loaded(), with a click button of screenWidth() by `height` on
  // the cell. `descriptionLabel` and `adLabel` may be null. A non-zero
  // `imageRect` redraws the image to its size; zero keeps its natural size.
  // Rebinding works as for the plain cell. Main thread.
  void setInfeed(const std::shared_ptr<ui::TableViewCell>& cell,
                 const std::shared_ptr<OvixAdInfo>& adInfo,
                 const std::shared_ptr<ui::ImageView>& imageView,
                 const std::shared_ptr<ui::Label>& titleLabel,
                 const std::shared_ptr<ui::Label>& descriptionLabel,
                 const std::shared_ptr<ui::Label>& advertiserLabel,
                 const std::shared_ptr<ui::Label>& adLabel, double height, Rect imageRect = Rect());

  // The same for a collection cell, with a click button of exactly `size`.
  void setInfeed(const std::shared_ptr<ui::CollectionViewCell>& cell,
                 const std::shared_ptr<OvixAdInfo>& adInfo,
                 const std::shared_ptr<ui::ImageView>& imageView,
                 const std::shared_ptr<ui::Label>& titleLabel,
                 const std::shared_ptr<ui::Label>& descriptionLabel,
                 const std::shared_ptr<ui::Label>& advertiserLabel,
                 const std::shared_ptr<ui::Label>& adLabel, Size size, Rect imageRect = Rect());

  // Undoes a binding of `cell`, a table or collection cell, so that it may
  // show content or be bound to another ad: removes the SDK's click button
  // and ad label, clears loaded(), identifier(), listener() and the click
  // URL, and drops the image still on its way; for the default binding it
  // also clears the texts and the image it set and gives the cell's labels
  // and image view back their own styles. Call it when a reused cell is about
  // to show a row that is not an ad. Main thread.
  void prepareForReuse(const std::shared_ptr<ui::View>& cell);

  // Opens the click URL of the first click button among `view`'s direct
  // subviews. Whether the application opened it. Main thread.
  bool openAd(const std::shared_ptr<ui::View>& view);

  // Reports that `view` is about to be displayed, from the host's display
  // callback named `from`. When `from` contains "willdisplay" in any case and
  // the view is bound to a loaded ad whose impression was not sent yet, sends
  // it (see Impression). Once per ad until clearAd(), even when reported from
  // two threads at once. Works on shared() whatever the receiver. Any thread.
  void tryImpression(const std::shared_ptr<ui::View>& view, const std::string& from);

  // Viewable impressions. Off (the default), tryImpression sends an ad's
  // impUrl and viewableImpUrl lists together. On, it sends impUrl only, and
  // viewableImpUrl waits until the ad has met the display standard in one of
  // its views: at least 50% of the view on screen (30% for a view of 242,500
  // points or more) for one continuous second, as reportVisibility tells,
  // while the application is active and the view is not hidden. Then it goes
  // once per ad until clearAd(), and the event listener hears
  // viewableImpressionRecorded. The shared manager's setting decides. Any
  // thread.
  void setViewabilityMeasurement(bool isEnabled);
  bool viewabilityMeasurement() const;

  // Reports which part of `view`, in its own coordinates, is on screen: call
  // it from the scroll and layout callbacks, with an empty rect once the view
  // has left the screen. A report holds until the next, so a view that stays
  // put completes its second without more. The share is that of the view's
  // bounds that `visibleRect` covers. A report below the standard, hiding the
  // view, prepareForReuse or a rebinding stop the view's second; the next
  // report that meets it starts a fresh one. Counts only once the view's ad
  // was impressed (tryImpression) and while measurement is on. Works on
  // shared() whatever the receiver. Main thread; ignored, with a log entry,
  // elsewhere.
  void reportVisibility(const std::shared_ptr<ui::View>& view, Rect visibleRect);

  // Reports that the application's window gained (true) or lost focus. While
  // inactive no view's second runs, and losing focus stops every one. The
  // default is active. Works on shared() whatever the receiver. Main thread;
  // ignored, with a log entry, elsewhere.
  void setApplicationActive(bool isActive);

  // The listener of impressions, beacons, clicks and expiries, held weakly;
  // null sets none. The shared manager's listener hears them all; a manager
  // of the host's own hears only its openAd. Without one the SDK posts
  // nothing for them. Callbacks arrive on the main queue (see
  // OvixEventListener). Any thread.
  void setEventListener(std::shared_ptr<OvixEventListener> listener);
  // The listener set, or null once it is released.
  std::shared_ptr<OvixEventListener> eventListener() const;
  // The same as held, for the SDK's own use.
  std::weak_ptr<OvixEventListener> weakEventListener() const;

  // True exactly when the device model is "iPad" and disableTablet() is true.
  bool isDisableTablet() const;

  // Configuration. Defaults: disableTablet true, adLabelString "PR", both
  // rectangles zero, userAgent "", screenWidth from the main screen, version
  // from the SDK bundle, bundleIdentifier from the host's main bundle.
  std::shared_ptr<const Bundle> bundle() const;
  void setBundle(std::shared_ptr<const Bundle> bundle);
  // Virtual, so a subclass can decide.
  virtual bool disableTablet() const;
  void setDisableTablet(bool disableTablet);
  Rect adFrameInDefaultCell() const;
  void setAdFrameInDefaultCell(Rect frame);
  std::string adLabelString() const;
  void setAdLabelString(std::string text);
  Rect imageViewRect() const;
  void setImageViewRect(Rect rect);
  // The ad server endpoint, fixed when the SDK is built.
  const std::string& urlString() const { return urlString_; }
  std::string bundleIdentifier() const;
  void setBundleIdentifier(std::string identifier);
  std::string version() const;
  void setVersion(std::string version);
  double screenWidth() const;
  void setScreenWidth(double width);
  std::string userAgent() const;
  void setUserAgent(std::string userAgent);
  // The user's privacy choices, sent with every load from the next one on
  // (see PrivacySignals). Default: none set, and the body is as without them.
  PrivacySignals privacySignals() const;
  void setPrivacySignals(PrivacySignals signals);
  // Keeps impression beacons in the SQLite file at `path` (made when
  // missing) from before they are sent until an answer arrives, retries
  // those that met no server, and sends at this call those an earlier run
  // left unsent (see the README's "Durable beacons"). The file is opened off
  // the calling thread; one that cannot be used is logged, and beacons then
  // go as without it. "" (the default) keeps none: each beacon is sent once,
  // and one in flight at exit is lost. A later call replaces the store; what
  // the old one holds waits for its next opening. Beacons go through the
  // shared manager's store. Any thread.
  void setBeaconStore(std::string path);
  // The beacon store in use, for the SDK's own use; null for none.
  std::shared_ptr<DurableBeacons> durableBeacons() const;

  // The inventory, for the SDK's own use; never null.
  OvixAds* ovixAds() const { return ovixAds_.get(); }
  // The views' viewability clocks, for the SDK's own use; never null.
  Viewability* viewability() const { return viewability_.get(); }

 private:
  // The host's views that a custom binding fills.
  struct CustomViews {
    std::shared_ptr<ui::ImageView> imageView;
    std::shared_ptr<ui::Label> titleLabel;
    std::shared_ptr<ui::Label> descriptionLabel;
    std::shared_ptr<ui::Label> advertiserLabel;
    std::shared_ptr<ui::Label> adLabel;
  };
  void bindCustom(const std::shared_ptr<ui::View>& cell, const std::shared_ptr<OvixAdInfo>& adInfo,
                  const CustomViews& views, Size buttonSize, Rect imageRect);

  const std::string urlString_;
  const std::unique_ptr<OvixAds> ovixAds_;
  const std::unique_ptr<Viewability> viewability_;

  mutable std::mutex mutex_;
  std::shared_ptr<const Bundle> bundle_;            // guarded by mutex_
  bool disableTablet_ = true;                       // guarded by mutex_
  Rect adFrameInDefaultCell_;                       // guarded by mutex_
  std::string adLabelString_ = "PR";                // guarded by mutex_
  Rect imageViewRect_;                              // guarded by mutex_
  std::string bundleIdentifier_;                    // guarded by mutex_
  std::string version_;                             // guarded by mutex_
  double screenWidth_ = 0;                          // guarded by mutex_
  std::string userAgent_;                           // guarded by mutex_
  std::weak_ptr<OvixEventListener> eventListener_;  // guarded by mutex_
  PrivacySignals privacySignals_;                   // guarded by mutex_
  bool viewabilityMeasurement_ = false;             // guarded by mutex_
  std::shared_ptr<DurableBeacons> durableBeacons_;  // guarded by mutex_
};

}  // namespace ovix
