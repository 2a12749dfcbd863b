// Copies and near-copies between submissions: each source becomes the
// tokens the assembler reads (no comments, blanks, case or data lines; every
// label one token kind), hashed in k-grams of which winnowing
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
    std::string text;                   // the source, for the HTML report
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

// A pair at or above the threshold.
struct SimilarPair {
    int percent;
    std::uint32_t a, b;  // indexes of the sources, a < b
};

// What --similar finds: the pairs at or above the threshold, most similar
// first, and the clusters they make (sources joined by such pairs, each in
// source order, of two or more), in order of their first source.
struct Similarity {
    std::vector<SimilarPair> pairs;
    std::vector<std::vector<std::uint32_t>> clusters;
    std::vector<std::uint64_t> base_hashes;  // left out of every comparison
};
Similarity compare_sources(const std::vector<Fingerprinted>& sources,
                           const std::vector<Fingerprinted>& bases, int threshold);

// The report: "cluster 1: ana, hana, zoe (92-100%)" per cluster, then
// "92% alice bob: lines 4-31 of alice ~ lines 6-33 of bob" per pair at or
// above threshold percent, most similar first, further runs of lines
// indented below; "alice is 100% the base ref.asm" per source and base;
// then "N sources, M pairs at or above P%". The bases' fingerprints are
// left out of the comparison of the sources.
std::string similarity_report(const std::vector<Fingerprinted>& sources,
                              const std::vector<Fingerprinted>& bases, int threshold);

// The same as one self-contained HTML page (no script, nothing fetched):
// the clusters, and per pair the two sources side by side with the lines
// they share marked.
std::string similarity_html(const std::vector<Fingerprinted>& sources,
                            const std::vector<Fingerprinted>& bases, int threshold);
