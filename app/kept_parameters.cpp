#include "app/kept_parameters.h"

std::string KeptParameters::Listing() const {
    std::string listing;
    for (const auto& [id, value] : values) {
        listing += "Parameter " + std::to_string(id) + ": " + value.ToString() + "\n";
    }
    return listing;
}
