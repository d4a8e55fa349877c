#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Says a word aloud: Flite speaks it on a thread of its own (a word takes it
// some tens of milliseconds), and Qt Multimedia plays it on the default audio
// output, so the window never waits for either. A word asked for while another
// plays replaces it. Without an audio output the first request tells the user
// once, and the later ones do nothing. In a build without speech, Available()
// is false and Say does nothing. Window thread only; the destructor waits for
// a synthesis under way.
#include "core/platform/TaskQueue.h"

#include <QObject>
#include <QString>
#include <memory>
#include <string>
#include <thread>

class QAudioSink;
class QBuffer;
class QWidget;

namespace lexipond {

class WordSpeaker final : public QObject {
    Q_OBJECT
  public:
    explicit WordSpeaker(QWidget* owner);
    ~WordSpeaker() override;

    // Whether this build can speak at all.
    static bool Available();
    // Why not, in the user's language, naming the packages to install.
    static QString WhyUnavailable();

    // Says the word's bytes as stored, in a voice of SpeechVoices() (another
    // gives the first) at a speed in percent.
    void Say(const std::string& word, const QString& voice = QString(), int ratePercent = 100);

  signals:
    // A request was taken (tests watch it; no audio output is needed for it).
    void asked(const QString& word);
    // The sound began to play.
    void playing(int samples, int sampleRate);

  private:
    void Play(std::vector<int16_t> samples, uint32_t sampleRate);
    Q_INVOKABLE void RunPosted(); // plays what the synthesis thread made

    platform::TaskQueue played_;
    QWidget* owner_;
    std::thread synthesis_;
    std::unique_ptr<QAudioSink> sink_;
    std::unique_ptr<QBuffer> sound_;
    bool toldNoOutput_ = false;
};

} // namespace lexipond
