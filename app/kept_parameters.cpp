#include "app/kept_parameters.h"

#include <algorithm>
#include <array>
#include <ctime>
#include <utility>

#include "app/wizard_texts.h"

namespace {

// The wall-clock time of day the values were saved, as the service user's PC shows it.
std::string TimeOfDay(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    // Only the wizard's thread formats times, so the shared buffer of localtime is safe here.
    const std::tm* local = std::localtime(&seconds);
    std::array<char, 16> text{};
    if (local == nullptr || std::strftime(text.data(), text.size(), "%H:%M:%S", local) == 0) {
        return "?";
    }
    return text.data();
}

}  // namespace

std::string AddressText(const std::array<uint8_t, 4>& address) {
    return std::to_string(address[0]) + "." + std::to_string(address[1]) + "." +
           std::to_string(address[2]) + "." + std::to_string(address[3]);
}

std::string KeptSet::Listing() const {
    std::string listing = AddressText(address) + " (saved at " + TimeOfDay(savedAt) + "):\n";
    for (const auto& [id, value] : values) {
        listing += "Parameter " + std::to_string(id) + ": " + value.ToString() + "\n";
    }
    return listing;
}

const KeptSet* KeptParameters::For(const std::array<uint8_t, 4>& address) const {
    const auto found = std::find_if(sets_.begin(), sets_.end(),
                                    [&](const KeptSet& set) { return set.address == address; });
    return found == sets_.end() ? nullptr : &*found;
}

KeptSet* KeptParameters::For(const std::array<uint8_t, 4>& address) {
    return const_cast<KeptSet*>(std::as_const(*this).For(address));
}

void KeptParameters::Keep(KeptSet set) {
    Drop(set.address);
    sets_.push_back(std::move(set));
}

void KeptParameters::Drop(const std::array<uint8_t, 4>& address) {
    std::erase_if(sets_, [&](const KeptSet& set) { return set.address == address; });
}

std::string KeptParameters::Listing() const {
    std::string listing;
    for (const KeptSet& set : sets_) {
        if (!listing.empty()) {
            listing += '\n';
        }
        listing += set.Listing();
    }
    return listing;
}

std::string KeptDifferQuestion(const KeptSet& set) {
    return std::string(kKeptDifferQuestion) + "\n\n" + set.Listing() + "\n" +
           kKeptDifferQuestionEnd;
}
