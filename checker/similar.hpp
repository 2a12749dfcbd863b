// Copies and near-copies between submissions: each source becomes the
// tokens the assembler reads (no comments, blanks or case; labels renamed
// by their order of first appearance), hashed in k-grams of which winnowing
// keeps a few per window, and every pair of sources is compared on the
// fingerprints they share.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Tokens in a k-gram, and the window of k-grams winnowing picks one from:
// a common run of SIMILAR_K + SIMILAR_W - 1 tokens is always found.
constexpr std::size_t SIMILAR_K = 10;
constexpr std::size_t SIMILAR_W = 6;

// One fingerprint: a k-gram's hash and the token it starts at.
struct Fingerprint {
    std::uint64_t hash;
    std::uint32_t token;
};

// A source as compared.
struct Fingerprinted {
    std::string name;
    std::vector<int> token_lines;       // the source line of each token
    std::vector<std::uint64_t> tokens;  // each token's hash
    std::vector<Fingerprint> prints;    // in token order
    std::vector<std::uint64_t> hashes;  // the distinct hashes, sorted
};

// The tokens the assembler reads, normalised, each with its line.
struct NormalToken {
    std::string text;
    int line;
};
std::vector<NormalToken> normal_tokens(std::string_view source);

Fingerprinted fingerprint(std::string name, std::string_view source);

// The report: "92% alice bob: lines 4-31 of alice ~ lines 6-33 of bob" per
// pair at or above threshold percent, most similar first, further runs of
// lines indented below; "alice is 100% the base ref.asm" per source and
// base; then "N sources, M pairs at or above P%". The bases' fingerprints
// are left out of the comparison of the sources.
std::string similarity_report(const std::vector<Fingerprinted>& sources,
                              const std::vector<Fingerprinted>& bases, int threshold);
