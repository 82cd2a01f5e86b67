// Compares what the receiving side of the audio test played with the speech
// passed through the codec offline, and measures the delay.
//   audio_compare SPEECH CODED MIC PLAYED ALIGNED_OUT [limits]
// SPEECH: the speech fed to the caller's microphone; CODED: the same through
// the codec; MIC and PLAYED: the recordings of the caller's microphone and
// the callee's speaker, started together. All raw 8 kHz 16-bit mono.
// ALIGNED_OUT receives CODED placed where it was found in PLAYED.
// Limits: --min-correlation C for the median 320 ms stretch of speech, each
// aligned on its own: a gap in playback shifts everything after it, so the
// whole speech at one lag is reported but not judged; nine stretches in ten
// must still be recognisable (0.5). --min-delay MS --max-delay MS.
// Prints key=value lines; exits 1 when a limit is not met.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

typedef std::vector<float> Signal;
const double kRate = 8000;

bool Load(const char* path, Signal& out)
{
    FILE* f = std::fopen(path, "rb");
    if (!f)
        return false;
    int16_t v;
    while (std::fread(&v, 2, 1, f) == 1)
        out.push_back(v);
    std::fclose(f);
    return true;
}

struct Match {
    long lag = 0;
    double correlation = 0;
};

// Normalised cross-correlation of pattern against signal at every lag in
// [from, to]; the best one.
Match Find(const Signal& signal, const Signal& pattern, long from, long to)
{
    Match best;
    const long n = static_cast<long>(pattern.size());
    double pp = 0;
    for (float v : pattern)
        pp += double(v) * v;
    from = std::max(0L, from);
    to = std::min(to, static_cast<long>(signal.size()) - n);
    if (pp <= 0 || to < from)
        return best;
    double ss = 0;
    for (long i = 0; i < n; ++i)
        ss += double(signal[from + i]) * signal[from + i];
    for (long lag = from; lag <= to; ++lag) {
        if (lag > from) {
            double out = signal[lag - 1], in = signal[lag + n - 1];
            ss += in * in - out * out;
        }
        float dot = 0;
        const float* s = &signal[lag];
        for (long i = 0; i < n; ++i)
            dot += s[i] * pattern[i];
        double c = ss > 1 ? dot / std::sqrt(ss * pp) : 0;
        if (c > best.correlation) {
            best.correlation = c;
            best.lag = lag;
        }
    }
    return best;
}

double Rms(const Signal& s, long from, long n)
{
    double e = 0;
    long count = 0;
    for (long i = std::max(0L, from); i < from + n && i < static_cast<long>(s.size()); ++i, ++count)
        e += double(s[i]) * s[i];
    return count ? std::sqrt(e / count) : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 6) {
        std::fprintf(stderr, "usage: audio_compare SPEECH CODED MIC PLAYED ALIGNED_OUT [limits]\n");
        return 2;
    }
    double minCorrelation = 0, minDelay = 0, maxDelay = 1e9;
    for (int i = 6; i + 1 < argc; i += 2) {
        std::string k = argv[i];
        double v = std::atof(argv[i + 1]);
        if (k == "--min-correlation")
            minCorrelation = v;
        else if (k == "--min-delay")
            minDelay = v;
        else if (k == "--max-delay")
            maxDelay = v;
    }
    Signal speech, coded, mic, played;
    if (!Load(argv[1], speech) || !Load(argv[2], coded) || !Load(argv[3], mic) ||
        !Load(argv[4], played) || speech.empty() || coded.empty()) {
        std::fprintf(stderr, "cannot read the recordings\n");
        return 2;
    }
    const long n = static_cast<long>(coded.size());
    Match atMic = Find(mic, speech, 0, static_cast<long>(mic.size()));
    // No delay of the design comes near 3 s.
    Match atSpeaker = Find(played, coded, atMic.lag, atMic.lag + 3 * 8000);
    double delayMs = (atSpeaker.lag - atMic.lag) * 1000.0 / kRate;

    // Per 320 ms stretch of speech, the best match near the overall lag: a
    // gap or a dropped block shifts the rest, and this shows how much of the
    // speech came through whole.
    std::vector<double> stretches, delays;
    const long stretch = 2560, slack = 800;
    double codedRms = Rms(coded, 0, n);
    for (long at = 0; at + stretch <= n; at += stretch) {
        if (Rms(coded, at, stretch) < 0.3 * codedRms)
            continue;
        Signal piece(coded.begin() + at, coded.begin() + at + stretch);
        long base = atSpeaker.lag + at;
        Match m = Find(played, piece, base - slack, base + slack);
        stretches.push_back(m.correlation);
        if (m.correlation >= 0.5)
            delays.push_back((m.lag - at - atMic.lag) * 1000.0 / kRate);
    }
    std::sort(stretches.begin(), stretches.end());
    std::sort(delays.begin(), delays.end());
    double firstDelay = delays.empty() ? delayMs : delays.front();
    double lastDelay = delays.empty() ? delayMs : delays.back();
    double median = stretches.empty() ? 0 : stretches[stretches.size() / 2];
    double low = stretches.empty() ? 0 : stretches[stretches.size() / 10];

    double playedRms = Rms(played, atSpeaker.lag, n);
    double before = Rms(played, 0, std::min(atSpeaker.lag, 4000L));

    Signal aligned(played.size(), 0);
    for (long i = 0; i < n && atSpeaker.lag + i < static_cast<long>(aligned.size()); ++i)
        aligned[atSpeaker.lag + i] = coded[i];
    if (FILE* f = std::fopen(argv[5], "wb")) {
        for (float v : aligned) {
            int16_t s = static_cast<int16_t>(v);
            std::fwrite(&s, 2, 1, f);
        }
        std::fclose(f);
    }

    std::printf("mic_match=%.3f\nmic_lag_ms=%.1f\nspeaker_lag_ms=%.1f\ndelay_ms=%.1f\n",
                atMic.correlation, atMic.lag * 1000 / kRate, atSpeaker.lag * 1000 / kRate, delayMs);
    std::printf("correlation=%.3f\nstretch_median=%.3f\nstretch_p10=%.3f\nstretches=%zu\n",
                atSpeaker.correlation, median, low, stretches.size());
    std::printf("stretch_delay_ms=%.1f..%.1f\n", firstDelay, lastDelay);
    double ratio = codedRms > 0 ? playedRms / codedRms : 0;
    std::printf("level_ratio=%.2f\nrms_before_speech=%.1f\n", ratio, before);

    bool ok = true;
    auto check = [&](bool good, const char* what) {
        if (!good) {
            std::printf("FAIL: %s\n", what);
            ok = false;
        }
    };
    check(atMic.correlation > 0.9, "the speech was not found on the caller's microphone");
    check(median >= minCorrelation, "the played audio is not the coded speech");
    check(low >= 0.5, "too little of the speech came through whole");
    check(delayMs >= minDelay && delayMs <= maxDelay && firstDelay >= minDelay &&
              lastDelay <= maxDelay,
          "the delay is outside its bounds");
    check(ratio > 0.5 && ratio < 2.0, "the played level is not the coded speech's");
    return ok ? 0 : 1;
}
