#pragma once

// Where a player sends its pictures.
enum class PlayerOutput {
    // Nowhere: the player decodes and keeps time but shows nothing (tests, benchmarks).
    Headless,
    // To a VideoPlayerView that draws through mpv's render API.
    View,
};
