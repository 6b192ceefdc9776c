#include "ovix/OvixJsonParser.hpp"

#include <algorithm>
#include <cstring>
#include <tuple>
#include <utility>

#include "Limits.hpp"
#include "ovix/common/Log.hpp"
#include "ovix/model/AdValues.hpp"
#include "platform/identity/Uuid.hpp"

namespace ovix {
namespace {

// The value as a string of at most limits::kMaximumStringBytes; none for
// another type or a longer string.
std::optional<std::string_view> textOf(simdjson::dom::element value) {
  std::string_view text;
  if (value.get(text) || text.size() > limits::kMaximumStringBytes) return std::nullopt;
  return text;
}

// One ad's values as views of the document; its lists are ranges of
// Collected::items.
struct Found {
  std::string_view infeedId;
  std::string_view imageUrl;
  std::string_view advertiser;
  std::string_view title;
  std::string_view descript;
  std::string_view clickUrl;
  std::size_t impUrl = 0;
  std::size_t impUrls = 0;
  std::size_t viewableImpUrl = 0;
  std::size_t viewableImpUrls = 0;
};

// The strings of one answer's records end to end, and the views of them its
// records hold: one block, released with the last record or copy.
struct AnswerBlock {
  std::unique_ptr<char[]> bytes;
  std::unique_ptr<std::string_view[]> items;
  std::unique_ptr<OvixAdInfo::Values[]> values;
};

// Copies views into a block's bytes, from the front.
class BlockWriter {
 public:
  explicit BlockWriter(char* at) : at_(at) {}

  std::string_view put(std::string_view text) {
    if (text.empty()) return {};
    std::memcpy(at_, text.data(), text.size());
    return take(text.size());
  }
  std::string_view newUuid() {
    identity::writeUuid(at_);
    return take(identity::kUuidLength);
  }

 private:
  std::string_view take(std::size_t size) {
    const std::string_view written(at_, size);
    at_ += size;
    return written;
  }

  char* at_;
};

// The answer's usable values, as views of its document.
struct Collected {
  std::vector<Found> ads;
  std::vector<std::string_view> items;  // the lists' strings
  std::size_t dropped = 0;

  // The list of strings `value` is, as a range of `items`; empty unless it is
  // an array of strings only.
  std::pair<std::size_t, std::size_t> listOf(simdjson::dom::element value) {
    simdjson::dom::array array;
    if (value.get(array)) return {};
    const std::size_t first = items.size();
    for (simdjson::dom::element item : array) {
      const auto text = textOf(item);
      if (!text) {
        items.resize(first);
        return {};
      }
      items.push_back(*text);
    }
    return {first, items.size() - first};
  }

  // The records of `ads`, their values in one new block.
  OvixJsonParser::List records() const {
    std::size_t bytes = 0;
    std::size_t lists = 0;
    std::string_view slot;
    for (const Found& ad : ads) {
      // A slot's records share their slot id, written once.
      if (ad.infeedId.data() != slot.data()) bytes += ad.infeedId.size();
      slot = ad.infeedId;
      bytes += ad.imageUrl.size() + ad.advertiser.size() + ad.title.size() + ad.descript.size() +
               ad.clickUrl.size() + identity::kUuidLength;
      for (std::size_t i = 0; i < ad.impUrls; ++i) bytes += items[ad.impUrl + i].size();
      for (std::size_t i = 0; i < ad.viewableImpUrls; ++i) {
        bytes += items[ad.viewableImpUrl + i].size();
      }
      lists += ad.impUrls + ad.viewableImpUrls;
    }
    const auto block = std::make_shared<AnswerBlock>();
    block->bytes = std::make_unique_for_overwrite<char[]>(bytes);
    block->items = std::make_unique<std::string_view[]>(lists);
    block->values = std::make_unique<OvixAdInfo::Values[]>(ads.size());
    BlockWriter writer(block->bytes.get());
    std::string_view* item = block->items.get();
    const auto putList = [&](std::size_t first, std::size_t count) {
      const OvixAdInfo::Values::List list(item, count);
      for (std::size_t i = 0; i < count; ++i) *item++ = writer.put(items[first + i]);
      return list;
    };
    slot = {};
    std::string_view slotCopy;
    for (std::size_t i = 0; i < ads.size(); ++i) {
      const Found& ad = ads[i];
      OvixAdInfo::Values& values = block->values[i];
      if (ad.infeedId.data() != slot.data()) slotCopy = writer.put(ad.infeedId);
      slot = ad.infeedId;
      values.infeedId = slotCopy;
      // What a binding reads first, on a few adjacent lines.
      values.uuid = writer.newUuid();
      values.title = writer.put(ad.title);
      values.advertiser = writer.put(ad.advertiser);
      values.imageUrl = writer.put(ad.imageUrl);
      values.clickUrl = writer.put(ad.clickUrl);
      values.descript = writer.put(ad.descript);
      values.impUrl = putList(ad.impUrl, ad.impUrls);
      values.viewableImpUrl = putList(ad.viewableImpUrl, ad.viewableImpUrls);
    }
    return OvixAdInfo::make(std::shared_ptr<const OvixAdInfo::Values[]>(block, block->values.get()),
                            ads.size());
  }
};

void parseAd(simdjson::dom::object ad, std::string_view infeedId, Collected& into) {
  ULog("parse(_:for:into:)", "START");
  Found found;
  found.infeedId = infeedId;
  const auto text = [](simdjson::dom::element value) {
    return textOf(value).value_or(std::string_view());
  };
  for (auto [name, value] : ad) {
    if (name == "title") {
      found.title = text(value);
    } else if (name == "description") {
      found.descript = text(value);
    } else if (name == "image_url") {
      found.imageUrl = text(value);
    } else if (name == "displayed_advertiser") {
      found.advertiser = text(value);
    } else if (name == "imp_url") {
      std::tie(found.impUrl, found.impUrls) = into.listOf(value);
    } else if (name == "view_imp_url") {
      std::tie(found.viewableImpUrl, found.viewableImpUrls) = into.listOf(value);
    } else if (name == "click_url") {
      found.clickUrl = text(value);
    }
  }
  into.ads.push_back(found);
  ULog("parse(_:for:into:)", "END");
}

void parseSlot(simdjson::dom::array ads, std::string_view infeedId, Collected& into) {
  ULog("parse(_:for:into:)", "START");
  for (simdjson::dom::element item : ads) {
    simdjson::dom::object ad;
    if (item.get(ad)) continue;
    if (into.ads.size() == limits::kMaximumAdsPerAnswer) {
      ++into.dropped;
    } else {
      parseAd(ad, infeedId, into);
    }
  }
  ULog("parse(_:for:into:)", "END");
}

void parseSlots(simdjson::dom::object ads, Collected& into) {
  ULog("parse(_:into:)", "START");
  std::size_t most = 0;
  for (auto [infeedId, slot] : ads) {
    simdjson::dom::array array;
    if (!slot.get(array)) most += array.size();
  }
  into.ads.reserve(std::min(most, limits::kMaximumAdsPerAnswer));
  for (auto [infeedId, slot] : ads) {
    simdjson::dom::array array;
    if (infeedId.size() <= limits::kMaximumStringBytes && !slot.get(array)) {
      parseSlot(array, infeedId, into);
    }
  }
  if (into.dropped > 0) {
    ULog("parse(_:into:)", "Dropped " + std::to_string(into.dropped) + " ads beyond the first " +
                               std::to_string(limits::kMaximumAdsPerAnswer) + " of the answer.");
  }
  ULog("parse(_:into:)", "END");
}

}  // namespace

OvixJsonParser::~OvixJsonParser() {
  ULog("deinit", "deinit");
}

OvixJsonParser::List OvixJsonParser::parse(const std::optional<json::Value>& answer) {
  ULog("parse", "START");
  simdjson::dom::object root;
  if (!answer || answer->element().get(root)) return {};

  simdjson::dom::element errors;
  if (!root["errors"].get(errors) && errors.is_object()) ULogPrints(answer->at(errors));

  simdjson::dom::element ads;
  if (root["ads"].get(ads) || !ads.is_object()) return {};
  ULogPrints(answer->at(ads));
  Collected collected;
  parseSlots(simdjson::dom::object(ads), collected);
  auto records = collected.records();
  ULog("parse", "END");
  return records;
}

}  // namespace ovix
