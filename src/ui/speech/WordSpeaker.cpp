// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/speech/WordSpeaker.h"

#include "ui/common/AppContext.h"
#include "ui/common/TextDisplay.h"
#if LEXIPOND_WITH_SPEECH
#include "core/speech/Synthesizer.h"
#endif

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QCoreApplication>
#include <QMediaDevices>
#include <algorithm>
#include <utility>
#include <vector>

namespace lexipond {

WordSpeaker::WordSpeaker(QWidget* owner) : owner_(owner) {}

WordSpeaker::~WordSpeaker() {
    if (synthesis_.joinable())
        synthesis_.join();
    if (sink_)
        sink_->stop();
}

bool WordSpeaker::Available() {
#if LEXIPOND_WITH_SPEECH
    return true;
#else
    return false;
#endif
}

QString WordSpeaker::WhyUnavailable() {
    return QCoreApplication::translate("WordSpeaker",
                                       "This Lexipond was built without speech: install "
                                       "flite1-dev, libpocketsphinx-dev and pocketsphinx-en-us "
                                       "and build it again.");
}

void WordSpeaker::Say(const std::string& word, const QString& voice, int ratePercent) {
    emit asked(DisplayText(word));
    if (!Available())
        return;
    if (QMediaDevices::defaultAudioOutput().isNull()) {
        if (!std::exchange(toldNoOutput_, true))
            Tell(owner_, QCoreApplication::translate(
                             "WordSpeaker", "No sound output was found, so Lexipond cannot say "
                                            "words aloud. Connect speakers or headphones and "
                                            "start Lexipond again."));
        return;
    }
#if LEXIPOND_WITH_SPEECH
    // The one before is at most a word's synthesis from its end.
    if (synthesis_.joinable())
        synthesis_.join();
    const std::string text = DisplayText(word).toStdString(); // Flite reads UTF-8
    const speech::Voice chosen =
        speech::VoiceNamed(voice.toStdString()).value_or(speech::Voice::Slt);
    const double rate = std::clamp(ratePercent, 25, 400) / 100.0;
    synthesis_ = std::thread([this, text, chosen, rate] {
        speech::Synthesis spoken = speech::Synthesize(text, chosen, rate);
        if (spoken.outcome != speech::SynthesisOutcome::Spoken)
            return;
        // This object outlives the thread: its destructor joins it first. The
        // sound crosses through played_; Qt carries only the call by name.
        played_.Push([this, samples = std::move(spoken.audio.samples),
                      rate = spoken.audio.sampleRate]() mutable { Play(std::move(samples), rate); });
        QMetaObject::invokeMethod(this, "RunPosted", Qt::QueuedConnection);
    });
#endif
}

void WordSpeaker::RunPosted() {
    if (auto task = played_.Take())
        (*task)();
}

void WordSpeaker::Play(std::vector<int16_t> samples, uint32_t sampleRate) {
    QAudioFormat format;
    format.setSampleRate(static_cast<int>(sampleRate));
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    if (sink_)
        sink_->stop();
    sound_ = std::make_unique<QBuffer>();
    sound_->setData(reinterpret_cast<const char*>(samples.data()),
                    static_cast<qsizetype>(samples.size() * sizeof(int16_t)));
    sound_->open(QIODevice::ReadOnly);
    sink_ = std::make_unique<QAudioSink>(QMediaDevices::defaultAudioOutput(), format);
    sink_->start(sound_.get());
    emit playing(static_cast<int>(samples.size()), static_cast<int>(sampleRate));
}

} // namespace lexipond
