#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Listening: the reader says the word on show aloud and the program judges it.
// The microphone (Qt Multimedia), finding where each spoken word ends (the
// core's Endpointer) and the judge (PocketSphinx) all run on a thread of their
// own; the window thread only starts, steers and hears the outcomes, one
// signal each, so a click or a key is never kept waiting by them.
//
// After each word heard the listener holds its ears until told Listen again
// (the window shows the verdict for a moment first); a timeout keeps waiting
// by itself. Recordings can be fed in place of the microphone (tests, and a
// machine without one). Window thread only; the destructor stops the thread.
#include "core/platform/TaskQueue.h"
#include "core/speech/Pcm.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <functional>
#include <string>
#include <vector>

namespace lexipond {

// Why listening cannot start.
enum class ListenProblem {
    NotBuilt,         // this build has no speech
    ModelMissing,     // pocketsphinx-en-us is not installed
    ModelUnusable,    // PocketSphinx would not load it
    NoWords,          // no word of the list could be pronounced
    TooManyWords,     // more than kMaxListenWords competing words
    NoMicrophone,     // no audio input
    MicrophoneFailed, // the input would not open, or stopped with an error
};

// The most words judged against: a grammar of more takes longer to build than
// a reader waits, and nobody reads aloud from such a list.
inline constexpr size_t kMaxListenWords = 20000;

struct ListenOutcome {
    enum class Kind {
        Correct,
        Incorrect,
        NoVerdict,   // noise, or not clearly any word: say it again
        CannotJudge, // the word on show has no pronunciation, or is not in the list judged against
        TimedOut,    // nothing was said for a while; still listening
    };
    Kind kind = Kind::NoVerdict;
    std::string word;  // the word on show it was judged against, as stored
    std::string heard; // the word heard (or the sounds heard when no word fitted)
};

class WordListener final : public QObject {
    Q_OBJECT
  public:
    enum class Source { Microphone, Recordings };

    // `modelFolder`: PocketSphinx's model (Debian's pocketsphinx-en-us unless told).
    explicit WordListener(std::string modelFolder = {}, QObject* parent = nullptr);
    ~WordListener() override;

    // Whether listening can work here (a build with speech and its model
    // installed), and why not, in the user's language, naming what to install.
    static bool Available();
    static QString WhyUnavailable();
    static QString ProblemText(ListenProblem problem);

    // Builds the judge for `words` on the listening thread (about a second for
    // a few hundred words), opens the source, then emits ready() and listens
    // for `wordOnShow`; or emits failed(). A Start while on starts again.
    void Start(std::vector<std::string> words, std::string wordOnShow,
               Source source = Source::Microphone);
    void Stop();
    bool IsOn() const { return on_; }

    // Listens for `wordOnShow` from now on: a word begun before is dropped.
    void Listen(std::string wordOnShow);
    // Takes no sound until the next Listen (the program is speaking itself).
    void Hold();
    // Sound from a recording, as the microphone would give it (Source::Recordings).
    void Feed(speech::PcmAudio recording);

  signals:
    void ready();
    void failed(lexipond::ListenProblem problem);
    // A word has begun: the listener is hearing it.
    void hearing();
    void judged(const lexipond::ListenOutcome& outcome);

  private:
    class Ears;
    void ToEars(std::function<void(Ears&)> task);
    Q_INVOKABLE void RunPosted(); // one task the listening thread posted

    QThread thread_;
    platform::TaskQueue toEars_, toWindow_; // the two hand-overs between the threads
    Ears* ears_ = nullptr; // lives on thread_
    std::string modelFolder_;
    int generation_ = 0; // each Start and Stop: outcomes of an older one are dropped
    bool on_ = false;
};

} // namespace lexipond
