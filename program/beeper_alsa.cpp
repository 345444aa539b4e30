// The beeper on ALSA's default device: a square tone, played to its end before beep() returns,
// the way a host beep blocks the caller. Without a sound device it returns at once, silently.
#include "program/beeper.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace qv {

namespace {

constexpr unsigned kRate = 48000;
constexpr std::int16_t kAmplitude = 8000; // well below full scale: a beep, not a blast

// ALSA prints its own complaints to stderr (no card, no configuration); the program has no log.
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

class AlsaBeeper : public Beeper {
public:
    AlsaBeeper() { snd_lib_error_set_handler(IgnoreAlsaError); }

    void beep(int frequencyHz, int durationMs) override {
        if (frequencyHz <= 0 || durationMs <= 0)
            return;
        snd_pcm_t* pcm = nullptr;
        if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0)
            return;
        if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED, 1, kRate, 1,
                               100000) == 0) {
            const std::vector<std::int16_t> tone = SquareWave(frequencyHz, durationMs);
            Play(pcm, tone);
            snd_pcm_drain(pcm);
        }
        snd_pcm_close(pcm);
    }

private:
    static std::vector<std::int16_t> SquareWave(int frequencyHz, int durationMs) {
        const auto frames =
            static_cast<std::size_t>(kRate) * static_cast<std::size_t>(durationMs) / 1000;
        // Half a period in frames; a tone above half the sample rate degrades to the highest one.
        const double half = std::max(1.0, kRate / (2.0 * frequencyHz));
        std::vector<std::int16_t> samples(frames);
        for (std::size_t i = 0; i < frames; ++i)
            samples[i] = (static_cast<long>(i / half) % 2 == 0) ? kAmplitude : -kAmplitude;
        return samples;
    }

    static void Play(snd_pcm_t* pcm, const std::vector<std::int16_t>& samples) {
        std::size_t done = 0;
        while (done < samples.size()) {
            const snd_pcm_sframes_t written =
                snd_pcm_writei(pcm, samples.data() + done, samples.size() - done);
            if (written < 0) {
                // An underrun or a suspended device: recover once per failure, give up otherwise.
                if (snd_pcm_recover(pcm, static_cast<int>(written), 1) < 0)
                    return;
                continue;
            }
            done += static_cast<std::size_t>(written);
        }
    }
};

} // namespace

std::unique_ptr<Beeper> MakePlatformBeeper() {
    return std::make_unique<AlsaBeeper>();
}

} // namespace qv
