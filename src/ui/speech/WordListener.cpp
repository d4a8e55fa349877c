// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/speech/WordListener.h"

#include "core/speech/Endpointer.h"
#include "core/speech/Judge.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>
#include <QCoreApplication>
#include <QIODevice>
#include <QMediaDevices>
#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <utility>

namespace lexipond {

namespace {

constexpr uint32_t kJudgeRate = 16000;
constexpr size_t kFeedChunk = 320; // 20 ms at the judge's rate, as a sound card delivers

// Interleaved frames of any common sample format, averaged to mono 16-bit.
void AppendMono(const QAudioFormat& format, const char* bytes, qsizetype frames,
                std::vector<int16_t>& out) {
    const int channels = std::max(1, format.channelCount());
    const int width = format.bytesPerSample();
    for (qsizetype f = 0; f < frames; ++f) {
        double sum = 0;
        for (int c = 0; c < channels; ++c) {
            const char* at = bytes + (f * channels + c) * width;
            switch (format.sampleFormat()) {
            case QAudioFormat::UInt8:
                sum += (double(static_cast<unsigned char>(*at)) - 128) * 256;
                break;
            case QAudioFormat::Int16: {
                int16_t v;
                std::memcpy(&v, at, sizeof v);
                sum += v;
                break;
            }
            case QAudioFormat::Int32: {
                int32_t v;
                std::memcpy(&v, at, sizeof v);
                sum += double(v) / 65536;
                break;
            }
            case QAudioFormat::Float: {
                float v;
                std::memcpy(&v, at, sizeof v);
                sum += double(v) * 32767;
                break;
            }
            default:
                break;
            }
        }
        out.push_back(int16_t(std::clamp(sum / channels, -32768.0, 32767.0)));
    }
}

} // namespace

// Everything that hears: lives on the listening thread and is only touched there.
class WordListener::Ears final : public QObject {
    Q_OBJECT
  public:
    explicit Ears(WordListener* owner) : owner_(owner) {}

    void Start(int generation, std::vector<std::string> words, std::string word, Source source) {
        Stop();
        generation_ = generation;
#if LEXIPOND_WITH_SPEECH
        if (words.size() > kMaxListenWords)
            return Fail(ListenProblem::TooManyWords);
        if (!judge_ || words != judgeWords_) {
            judge_.reset();
            speech::JudgeSetup setup = speech::JudgeSetup::Ready;
            judge_ = speech::Judge::Create(owner_->modelFolder_, words, setup);
            if (!judge_) {
                return Fail(setup == speech::JudgeSetup::ModelMissing ? ListenProblem::ModelMissing
                            : setup == speech::JudgeSetup::NoWords    ? ListenProblem::NoWords
                                                                      : ListenProblem::ModelUnusable);
            }
            judgeWords_ = std::move(words);
        }
        uint32_t rate = kJudgeRate;
        if (source == Source::Microphone) {
            const QAudioDevice device = QMediaDevices::defaultAudioInput();
            if (device.isNull())
                return Fail(ListenProblem::NoMicrophone);
            format_.setSampleRate(int(kJudgeRate));
            format_.setChannelCount(1);
            format_.setSampleFormat(QAudioFormat::Int16);
            if (!device.isFormatSupported(format_))
                format_ = device.preferredFormat();
            microphone_ = std::make_unique<QAudioSource>(device, format_);
            input_ = microphone_->start();
            if (!input_ || microphone_->error() != QAudio::NoError) {
                microphone_.reset();
                return Fail(ListenProblem::MicrophoneFailed);
            }
            connect(input_, &QIODevice::readyRead, this, &Ears::ReadMicrophone);
            connect(microphone_.get(), &QAudioSource::stateChanged, this, [this](QAudio::State) {
                if (microphone_ && microphone_->error() != QAudio::NoError) {
                    microphone_.reset();
                    input_ = nullptr;
                    Fail(ListenProblem::MicrophoneFailed);
                }
            });
            rate = uint32_t(format_.sampleRate());
        }
        ear_.emplace(rate);
        on_ = true;
        Post([](WordListener& listener) { emit listener.ready(); });
        Listen(std::move(word));
#else
        (void)words, (void)word, (void)source;
        Fail(ListenProblem::NotBuilt);
#endif
    }

    void Stop() {
        on_ = false;
        held_ = true;
        if (microphone_) {
            microphone_->stop();
            microphone_.reset();
        }
        input_ = nullptr;
        pending_.clear();
        ear_.reset();
    }

    void Shutdown() {
        Stop();
#if LEXIPOND_WITH_SPEECH
        judge_.reset();
#endif
    }

    void Listen(std::string word) {
        if (!on_)
            return;
        word_ = std::move(word);
        ear_->Restart();
        began_ = false;
        held_ = word_.empty(); // nothing on show: nothing to judge
#if LEXIPOND_WITH_SPEECH
        if (!held_ && !judge_->CanJudge(word_)) {
            held_ = true;
            Tell(ListenOutcome{ListenOutcome::Kind::CannotJudge, word_, {}});
        }
#endif
    }

    void Hold() {
        held_ = true;
        began_ = false;
    }

    void Feed(const speech::PcmAudio& recording) {
        if (!on_ || microphone_)
            return;
        const std::vector<int16_t> samples =
            recording.sampleRate == kJudgeRate
                ? recording.samples
                : speech::Resample(recording.samples, recording.sampleRate, kJudgeRate);
        for (size_t at = 0; at < samples.size() && on_; at += kFeedChunk)
            Hear(std::span(samples).subspan(at, std::min(kFeedChunk, samples.size() - at)));
    }

  private:
    void ReadMicrophone() {
        if (!input_)
            return;
        const QByteArray bytes = input_->readAll();
        const int frameBytes = std::max(1, format_.bytesPerFrame());
        pending_.append(bytes);
        const qsizetype frames = pending_.size() / frameBytes;
        mono_.clear();
        AppendMono(format_, pending_.constData(), frames, mono_);
        pending_.remove(0, frames * frameBytes);
        Hear(mono_);
    }

    void Hear(std::span<const int16_t> samples) {
        if (held_ || !ear_)
            return;
        const speech::Endpoint where = ear_->Feed(samples);
        if (where == speech::Endpoint::Speaking && !std::exchange(began_, true))
            Post([](WordListener& listener) { emit listener.hearing(); });
        if (where == speech::Endpoint::TimedOut) {
            Tell(ListenOutcome{ListenOutcome::Kind::TimedOut, word_, {}});
            ear_->Restart();
            began_ = false;
        } else if (where == speech::Endpoint::Word) {
            held_ = true;
            Judge(ear_->Word());
        }
    }

    void Judge([[maybe_unused]] const speech::PcmAudio& word) {
#if LEXIPOND_WITH_SPEECH
        const std::vector<int16_t> samples =
            word.sampleRate == kJudgeRate
                ? word.samples
                : speech::Resample(word.samples, word.sampleRate, kJudgeRate);
        const speech::Judgement judgement = judge_->Hear(samples, word_);
        using Kind = ListenOutcome::Kind;
        Kind kind = Kind::NoVerdict;
        if (judgement.verdict == speech::Verdict::Correct)
            kind = Kind::Correct;
        else if (judgement.verdict == speech::Verdict::Incorrect)
            kind = Kind::Incorrect;
        else if (judgement.reason == speech::Reason::CannotJudgeWord)
            kind = Kind::CannotJudge;
        Tell(ListenOutcome{kind, word_, judgement.heard});
#endif
    }

    void Fail(ListenProblem problem) {
        Stop();
        Post([problem](WordListener& listener) {
            listener.on_ = false;
            emit listener.failed(problem);
        });
    }

    void Tell(ListenOutcome outcome) {
        Post([outcome = std::move(outcome)](WordListener& listener) {
            emit listener.judged(outcome);
        });
    }

    // Runs `task` on the window thread, unless a newer Start or a Stop came since.
    void Post(std::function<void(WordListener&)> task) {
        WordListener* owner = owner_;
        owner->toWindow_.Push([owner, generation = generation_, task = std::move(task)] {
            if (owner->generation_ == generation)
                task(*owner);
        });
        QMetaObject::invokeMethod(owner, "RunPosted", Qt::QueuedConnection);
    }

  public:
    // One task from the window thread (WordListener::ToEars).
    Q_INVOKABLE void RunPosted() {
        if (auto task = owner_->toEars_.Take())
            (*task)();
    }

  private:
    WordListener* owner_;
#if LEXIPOND_WITH_SPEECH
    std::unique_ptr<speech::Judge> judge_;
    std::vector<std::string> judgeWords_;
#endif
    std::unique_ptr<QAudioSource> microphone_;
    QIODevice* input_ = nullptr; // owned by microphone_
    QAudioFormat format_;
    QByteArray pending_;        // bytes of an incomplete frame
    std::vector<int16_t> mono_; // reused for each read
    std::optional<speech::Endpointer> ear_;
    std::string word_;
    int generation_ = 0;
    bool on_ = false;
    bool held_ = true;
    bool began_ = false;
};

WordListener::WordListener(std::string modelFolder, QObject* parent)
    : QObject(parent), modelFolder_(modelFolder.empty() ? std::string(speech::kDefaultModelFolder)
                                                        : std::move(modelFolder)) {
    thread_.setObjectName(QStringLiteral("listening"));
    ears_ = new Ears(this);
    ears_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, ears_, &QObject::deleteLater);
    thread_.start();
}

WordListener::~WordListener() {
    ++generation_;
    ToEars([](Ears& ears) { ears.Shutdown(); });
    thread_.quit(); // after the task above: the thread's events run in order
    thread_.wait();
    // The queues' locks once more, so that their end is ordered after the
    // listening thread's last use in a way ThreadSanitizer sees (it cannot
    // see QThread::wait's). Tasks left over are dropped unrun.
    while (toEars_.Take()) {
    }
    while (toWindow_.Take()) {
    }
}

void WordListener::ToEars(std::function<void(Ears&)> task) {
    // The task crosses through toEars_ and Qt carries only the call by name,
    // so that the hand-over is one ThreadSanitizer can see.
    toEars_.Push([ears = ears_, task = std::move(task)] { task(*ears); });
    QMetaObject::invokeMethod(ears_, "RunPosted", Qt::QueuedConnection);
}

void WordListener::RunPosted() {
    if (auto task = toWindow_.Take())
        (*task)();
}

bool WordListener::Available() {
#if LEXIPOND_WITH_SPEECH
    return speech::ModelInstalled(speech::kDefaultModelFolder);
#else
    return false;
#endif
}

QString WordListener::WhyUnavailable() {
#if LEXIPOND_WITH_SPEECH
    return ProblemText(ListenProblem::ModelMissing);
#else
    return ProblemText(ListenProblem::NotBuilt);
#endif
}

QString WordListener::ProblemText(ListenProblem problem) {
    switch (problem) {
    case ListenProblem::NotBuilt:
        return tr("This Lexipond was built without speech: install flite1-dev, "
                  "libpocketsphinx-dev and pocketsphinx-en-us and build it again.");
    case ListenProblem::ModelMissing:
        return tr("Listening needs the speech model of the package pocketsphinx-en-us: "
                  "install it and start listening again.");
    case ListenProblem::ModelUnusable:
        return tr("The speech model of pocketsphinx-en-us could not be loaded: reinstall "
                  "the package.");
    case ListenProblem::NoWords:
        return tr("None of the words of the list can be pronounced, so there is nothing to "
                  "listen for.");
    case ListenProblem::TooManyWords:
        return tr("Listening works with lists of up to %1 words; this one has more.")
            .arg(kMaxListenWords);
    case ListenProblem::NoMicrophone:
        return tr("No microphone was found. Connect one, check that it is not muted in the "
                  "sound settings, and start listening again.");
    case ListenProblem::MicrophoneFailed:
        return tr("The microphone could not be used (another program may hold it, or it "
                  "was unplugged). Check it in the sound settings and start listening again.");
    }
    return {};
}

void WordListener::Start(std::vector<std::string> words, std::string wordOnShow, Source source) {
    const int generation = ++generation_;
    on_ = true;
    ToEars([generation, words = std::move(words), word = std::move(wordOnShow),
            source](Ears& ears) mutable {
        ears.Start(generation, std::move(words), std::move(word), source);
    });
}

void WordListener::Stop() {
    ++generation_;
    on_ = false;
    ToEars([](Ears& ears) { ears.Stop(); });
}

void WordListener::Listen(std::string wordOnShow) {
    if (!on_)
        return;
    ToEars([word = std::move(wordOnShow)](Ears& ears) mutable { ears.Listen(std::move(word)); });
}

void WordListener::Hold() {
    ToEars([](Ears& ears) { ears.Hold(); });
}

void WordListener::Feed(speech::PcmAudio recording) {
    ToEars([recording = std::move(recording)](Ears& ears) { ears.Feed(recording); });
}

} // namespace lexipond

#include "WordListener.moc"
