// Writes the nudge sound: a soft three-note chime (C5, E5, G5) as a RIFF
// WAVE file, mono, 22050 Hz, 8-bit unsigned PCM, 53,237 sample bytes plus
// one pad byte. Every note swells in over a few milliseconds and dies away;
// the whole sound has faded to exact silence long before the end, so the
// wave loops without a click.
//
// Usage: MakeNudgeWave <output.wav>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t SampleRate = 22050;
constexpr std::uint32_t SampleCount = 53237;

constexpr double Pi = 3.14159265358979323846;

struct Note
{
    double Start;     // seconds
    double Frequency; // Hz
    double Level;     // peak, full scale 1
};

// One struck note: a short raised-sine attack, then an exponential decay;
// the overtones are faint and die faster, which keeps the tone round.
double NoteAt(const Note &note, double t)
{
    const double local = t - note.Start;
    if (local < 0)
        return 0;
    constexpr double attack = 0.012;
    const double rise = local < attack ? std::sin(0.5 * Pi * local / attack) : 1.0;
    const double envelope = rise * rise;
    const double w = 2 * Pi * note.Frequency * local;
    const double tone = std::exp(-local / 0.32) * std::sin(w) +
                        0.22 * std::exp(-local / 0.16) * std::sin(2 * w) +
                        0.06 * std::exp(-local / 0.08) * std::sin(3 * w);
    return note.Level * envelope * tone;
}

// Fades the tail to silence between FadeStart and FadeEnd seconds.
constexpr double FadeStart = 1.45;
constexpr double FadeEnd = 1.85;

double Fade(double t)
{
    if (t <= FadeStart)
        return 1;
    if (t >= FadeEnd)
        return 0;
    const double x = (t - FadeStart) / (FadeEnd - FadeStart);
    return 0.5 * (1 + std::cos(Pi * x));
}

std::vector<std::uint8_t> Samples()
{
    const Note notes[] = {{0.00, 523.25, 0.30}, {0.20, 659.26, 0.27}, {0.40, 783.99, 0.25}};
    std::vector<std::uint8_t> out(SampleCount);
    for (std::uint32_t i = 0; i < SampleCount; ++i) {
        const double t = double(i) / SampleRate;
        double s = 0;
        for (const Note &note : notes)
            s += NoteAt(note, t);
        s *= Fade(t);
        long v = std::lround(128.0 + 127.0 * s);
        if (v < 0)
            v = 0;
        if (v > 255)
            v = 255;
        out[i] = std::uint8_t(v);
    }
    return out;
}

void Put32(std::string &out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(char((v >> (8 * i)) & 0xFF));
}

void Put16(std::string &out, std::uint16_t v)
{
    out.push_back(char(v & 0xFF));
    out.push_back(char(v >> 8));
}

std::string WaveImage()
{
    const std::vector<std::uint8_t> samples = Samples();
    const std::uint32_t pad = SampleCount & 1;
    std::string out;
    out += "RIFF";
    Put32(out, 4 + (8 + 16) + (8 + SampleCount + pad));
    out += "WAVE";
    out += "fmt ";
    Put32(out, 16);
    Put16(out, 1);          // PCM
    Put16(out, 1);          // channels
    Put32(out, SampleRate); // samples per second
    Put32(out, SampleRate); // bytes per second
    Put16(out, 1);          // block align
    Put16(out, 8);          // bits per sample
    out += "data";
    Put32(out, SampleCount);
    out.append(samples.begin(), samples.end());
    if (pad)
        out.push_back('\0');
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: MakeNudgeWave <output.wav>\n");
        return 2;
    }
    const std::string target = argv[1];
    const std::string temporary = target + ".part";
    const std::string image = WaveImage();
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file.write(image.data(), std::streamsize(image.size()));
        file.close();
        if (!file) {
            std::fprintf(stderr, "MakeNudgeWave: cannot write %s\n", temporary.c_str());
            std::remove(temporary.c_str());
            return 1;
        }
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        std::fprintf(stderr, "MakeNudgeWave: cannot replace %s\n", target.c_str());
        std::remove(temporary.c_str());
        return 1;
    }
    return 0;
}
