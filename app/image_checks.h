#pragma once
// What a loaded firmware image must be before any byte of it is sent:
// small enough for the device it is for, and, where its own content says
// what it is (the header of the images this build generates), for the same
// kind of device as its name and whole.
#include <cstdint>
#include <string>

// The most bytes the device of `productId` holds; 0 for a kind this
// program has no programming run for. Each is the size of that kind's
// known image rounded up to the next power of two, the part's size.
uint32_t ImageCapacity(uint8_t productId);

// Checks an image of `size` bytes named `fileName` for the device
// `nameId`. Returns an empty text when it may be sent, else why not, as a
// sentence that names the file.
std::string CheckImageContent(const std::string& fileName, uint8_t nameId, const uint8_t* data, uint32_t size);

// The kind of device a product id names, as a user reads it ("ZM-DIG module",
// "ZT-HD card", "Orvella(n) main unit").
std::string DeviceKindName(uint8_t productId);
