// sound.cpp -- additive synthesis of the looping pad, bass and bell tune, and its WAVE encoding
#include "scenegen/sound.h"

#include "shared/exact_math.h"

namespace {

constexpr int kChords = 4;
constexpr int kChordSamples = kSoundLoopSamples / kChords;
constexpr int kStepsPerChord = 8;  // melody slots
constexpr int kStepSamples = kChordSamples / kStepsPerChord;

// Pad voicings (MIDI note numbers): Dmaj7, Bm7, Gmaj7, Asus2 -- a slow,
// open progression that resolves back into its start.
constexpr int kPadNotes[kChords][4] = {
    {50, 57, 61, 66},
    {47, 54, 57, 62},
    {43, 50, 54, 59},
    {45, 52, 57, 59},
};
constexpr int kBassNotes[kChords] = {38, 35, 43, 45};
// The bell tune, one slot per eighth of a chord; 0 rests.
constexpr int kTune[kChords][kStepsPerChord] = {
    {78, 0, 81, 0, 76, 0, 0, 74},
    {74, 0, 78, 0, 81, 0, 83, 0},
    {79, 0, 78, 0, 74, 0, 71, 0},
    {76, 0, 0, 73, 0, 71, 69, 0},
};

// The whole number of cycles in the loop closest to a note's pitch.
int LoopCycles(int midiNote) {
    // 440 Hz * 2^((note - 69) / 12) by repeated multiplication.
    constexpr double kSemitone = 1.0594630943592953;
    double f = 440.0;
    for (int n = 69; n < midiNote; ++n)
        f *= kSemitone;
    for (int n = 69; n > midiNote; --n)
        f /= kSemitone;
    return static_cast<int>(Floor(f * kSoundLoopSamples / kSoundRate + 0.5));
}

// sin of `cycles` whole cycles per loop at sample i: exactly periodic.
double Tone(int64_t cycles, int64_t i) {
    const int64_t phase = (cycles * i) % kSoundLoopSamples;
    return SinTurns(static_cast<double>(phase) / kSoundLoopSamples);
}

// A raised-cosine swell centred on `centre`, `width` samples wide, on the
// circle of the loop.
double Swell(int64_t i, int64_t centre, int64_t width) {
    int64_t d = (i - centre) % kSoundLoopSamples;
    if (d < 0) d += kSoundLoopSamples;
    if (d > kSoundLoopSamples / 2) d -= kSoundLoopSamples;
    if (2 * (d < 0 ? -d : d) >= width) return 0.0;
    return 0.5 + 0.5 * CosTurns(static_cast<double>(d) / width);
}

void AddPad(std::vector<double>& mix) {
    for (int c = 0; c < kChords; ++c) {
        const int64_t centre = c * kChordSamples + kChordSamples / 2;
        const int64_t width = kChordSamples * 2;  // each chord fades through its neighbours
        for (const int note : kPadNotes[c]) {
            const int k = LoopCycles(note);
            for (int64_t i = 0; i < kSoundLoopSamples; ++i) {
                const double env = Swell(i, centre, width);
                if (env == 0.0) continue;
                // Two voices a cycle per loop apart beat slowly against each
                // other; a quiet octave adds air.
                const double v = Tone(k, i) + Tone(k + 1, i) + 0.25 * Tone(2 * k + 1, i);
                mix[i] += 0.085 * env * v;
            }
        }
        const int kb = LoopCycles(kBassNotes[c]);
        for (int64_t i = 0; i < kSoundLoopSamples; ++i) {
            const double env = Swell(i, centre, width);
            if (env != 0.0) mix[i] += 0.22 * env * (Tone(kb, i) + 0.2 * Tone(2 * kb, i));
        }
    }
}

void AddBells(std::vector<double>& mix) {
    constexpr int kAttack = 80;              // samples, about 7 ms
    constexpr int kLength = kSoundRate * 2;  // each bell rings for 2 s
    constexpr double kDecay = 0.99978;       // per sample: about -20 dB per second
    for (int c = 0; c < kChords; ++c)
        for (int s = 0; s < kStepsPerChord; ++s) {
            const int note = kTune[c][s];
            if (note == 0) continue;
            const int k = LoopCycles(note);
            const int64_t start = static_cast<int64_t>(c) * kChordSamples + s * kStepSamples;
            double env = 1.0;
            for (int64_t j = 0; j < kLength; ++j) {
                const int64_t i = (start + j) % kSoundLoopSamples;
                const double attack = j < kAttack ? static_cast<double>(j) / kAttack : 1.0;
                // A bell: the fundamental and a fainter, faster-fading
                // partial 2.76 times higher (rounded to whole cycles).
                const double partial = env * env;
                const double v = Tone(k, i) + 0.3 * partial * Tone((k * 276 + 50) / 100, i);
                mix[i] += 0.16 * attack * env * v;
                env *= kDecay;
            }
        }
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int b = 0; b < 4; ++b)
        out.push_back(static_cast<uint8_t>(v >> (8 * b)));
}
void PutTag(std::vector<uint8_t>& out, const char* tag) {
    for (int b = 0; b < 4; ++b)
        out.push_back(static_cast<uint8_t>(tag[b]));
}

}  // namespace

std::vector<uint8_t> SynthesizeLoop() {
    std::vector<double> mix(kSoundLoopSamples, 0.0);
    AddPad(mix);
    AddBells(mix);
    double peak = 0.0;
    for (const double v : mix)
        peak = v > peak ? v : (-v > peak ? -v : peak);
    // Peaks at 100 of the 127 steps either side leave headroom for the
    // player; a faint triangular dither hides the 8-bit steps.
    SceneRandom random(0x50D);
    std::vector<uint8_t> out(kSoundLoopSamples);
    for (int64_t i = 0; i < kSoundLoopSamples; ++i) {
        const double dither = random.Uniform() - random.Uniform();
        const double v = 128.0 + 100.0 * mix[i] / peak + 0.5 * dither;
        out[i] = static_cast<uint8_t>(Clamp(Floor(v + 0.5), 0.0, 255.0));
    }
    return out;
}

std::vector<uint8_t> EncodeWav(const std::vector<uint8_t>& samples) {
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size());
    std::vector<uint8_t> out;
    out.reserve(44 + dataBytes + 1);
    PutTag(out, "RIFF");
    Put32(out, 36 + dataBytes + (dataBytes & 1));
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    Put32(out, 16);
    Put32(out, 1 | (1u << 16));  // PCM, one channel
    Put32(out, kSoundRate);
    Put32(out, kSoundRate);      // bytes per second
    Put32(out, 1 | (8u << 16));  // block align 1, 8 bits per sample
    PutTag(out, "data");
    Put32(out, dataBytes);
    out.insert(out.end(), samples.begin(), samples.end());
    if (dataBytes & 1) out.push_back(0);  // chunks are padded to even sizes
    return out;
}
