// TGIFImage: loading and its error codes, the animation's timing through a
// timer the test fires itself, frame changes and their events, disposal in
// the working image, and painting over what lies behind the control.
#include "gifbuilder.h"
#include "support/exceptionrecorder.h"
#include "widgets/gifimage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A timer that only records how it was armed; the test fires it.
class FakeTimer : public TGifTimer {
public:
    void Start(int intervalMs) override
    {
        m_active = true;
        m_interval = intervalMs;
    }
    void Stop() override { m_active = false; }
    bool IsActive() const override { return m_active; }
    int Interval() const { return m_interval; }
    void Fire()
    {
        ASSERT_TRUE(m_active) << "the timer fired while stopped";
        m_active = false; // one-shot
        OnTimeout();
    }

private:
    bool m_active = false;
    int m_interval = -1;
};

const QList<QRgb> kColors = {qRgb(200, 0, 0),   qRgb(0, 200, 0),   qRgb(0, 0, 200),  qRgb(200, 200, 0),
                             qRgb(0, 200, 200), qRgb(200, 0, 200), qRgb(90, 90, 90), qRgb(250, 250, 250)};

// An animation of `count` 2 × 2 frames; frame n is filled with colour n − 1.
QByteArray Animation(int count, int delay = 10, int repeat = -1)
{
    GifBuilder gif(2, 2, 3, kColors);
    if (repeat >= 0)
        gif.Repeat(repeat);
    for (int i = 0; i < count; ++i)
        gif.Control(1, delay).Solid(0, 0, 2, 2, char(i));
    return gif.Trailer().Bytes();
}

QRgb Pixel(const TGIFImage& image, int x = 0, int y = 0)
{
    return image.WorkingImage().pixel(x, y);
}

// The control with a fake timer and a picture.
struct Player {
    TGIFImage Image;
    FakeTimer* Timer;

    explicit Player(const QByteArray& data)
    {
        auto timer = std::make_unique<FakeTimer>();
        Timer = timer.get();
        Image.SetTimer(std::move(timer));
        Image.LoadFromData(data);
    }

    // The colour index of the frame on display (frames are solid).
    int Shown() const { return int(kColors.indexOf(Pixel(Image) | 0xFF000000u)); }
};

TEST(GifImage, ErrorCodesAndWhatLoadingKeeps)
{
    QTemporaryDir dir;
    const QString good = dir.filePath("good.gif");
    const QString notGif = dir.filePath("note.txt");
    {
        QFile file(good);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(Animation(3));
        QFile text(notGif);
        ASSERT_TRUE(text.open(QIODevice::WriteOnly));
        text.write("hello");
    }

    TGIFImage image;
    EXPECT_EQ(image.size(), QSize(105, 105));
    image.SetFileName(good);
    EXPECT_EQ(image.LastError(), geNone);
    EXPECT_EQ(image.FileName(), good);
    EXPECT_EQ(image.FrameCount(), 3);

    image.SetFileName(dir.filePath("missing.gif"));
    EXPECT_EQ(image.LastError(), geFileNotFound);
    EXPECT_EQ(image.FileName(), good);
    EXPECT_EQ(image.FrameCount(), 3);

    image.SetCurrentFrame(2);
    for (int wrong : {0, 4, -1}) {
        image.SetCurrentFrame(wrong);
        EXPECT_EQ(image.LastError(), geFrameRange);
        EXPECT_EQ(image.CurrentFrame(), 2);
        EXPECT_EQ(Pixel(image), kColors[1]);
    }

    image.LoadFromResource("NO_SUCH_PICTURE");
    EXPECT_EQ(image.LastError(), geResource);
    EXPECT_EQ(image.FrameCount(), 3);

    EXPECT_THROW(image.SetFileName(notGif), EGIFImageError);
    EXPECT_TRUE(image.Empty());
    EXPECT_EQ(image.FileName(), notGif);

    // A frame cut off: the frames before it are shown, the error is "decoding".
    const QByteArray whole = Animation(3);
    EXPECT_TRUE(image.LoadFromData(whole.left(whole.size() - 8)));
    EXPECT_EQ(image.LastError(), geDecoding);
    EXPECT_EQ(image.FrameCount(), 2);
    EXPECT_EQ(Pixel(image), kColors[0]);

    EXPECT_FALSE(image.LoadFromData(QByteArray()));
    EXPECT_EQ(image.LastError(), geNothingToLoad);
}

TEST(GifImage, TheTimerRunsOnlyForAnAnimationAndScalesWithSpeed)
{
    Player single(Animation(1));
    single.Image.SetAnimate(true);
    EXPECT_FALSE(single.Timer->IsActive());
    single.Image.LoadFromData(Animation(1));
    EXPECT_FALSE(single.Timer->IsActive()) << "a single frame never starts the timer";

    Player player(Animation(3, 10));
    EXPECT_FALSE(player.Timer->IsActive()) << "Animate is off";
    player.Image.SetSpeed(200);
    player.Image.SetAnimate(true);
    ASSERT_TRUE(player.Timer->IsActive());
    EXPECT_EQ(player.Timer->Interval(), 50);

    player.Image.SetSpeed(0);
    EXPECT_EQ(player.Image.Speed(), 1);
    EXPECT_EQ(player.Timer->Interval(), 0) << "a new speed takes effect at once";
    player.Timer->Fire();
    EXPECT_EQ(player.Timer->Interval(), 10000) << "1 % speed: 100 ms last 10 s";
    player.Image.SetSpeed(-5);
    EXPECT_EQ(player.Image.Speed(), 1);

    Player fast(Animation(2, 0));
    fast.Image.SetSpeed(1000);
    fast.Image.SetAnimate(true);
    EXPECT_EQ(fast.Timer->Interval(), 10)
        << "never below 10 ms: no delay must not redraw 1000 times a second";

    // Loading a new picture while animating re-arms for it; an empty one stops.
    player.Image.SetSpeed(100);
    player.Image.LoadFromData(Animation(2, 7));
    EXPECT_TRUE(player.Timer->IsActive());
    EXPECT_EQ(player.Timer->Interval(), 70);
    player.Image.LoadFromData("GIF89a");
    EXPECT_FALSE(player.Timer->IsActive());
}

TEST(GifImage, StepsShowTheFramesInTurnAfterAFirstTimingStep)
{
    Player player(Animation(3, 5, 0));
    std::vector<std::string> events;
    player.Image.OnChanging = [&](TGIFImage* sender) {
        events.push_back("changing " + std::to_string(sender->CurrentFrame()));
    };
    player.Image.OnChange = [&](TGIFImage* sender) {
        events.push_back("change " + std::to_string(sender->CurrentFrame()));
    };
    player.Image.SetAnimate(true);
    EXPECT_EQ(player.Timer->Interval(), 50);

    player.Timer->Fire(); // only starts the timing
    EXPECT_EQ(player.Shown(), 0);
    EXPECT_EQ(player.Image.CurrentFrame(), 2);
    std::vector<int> shown;
    for (int i = 0; i < 7; ++i) {
        player.Timer->Fire();
        shown.push_back(player.Shown());
    }
    EXPECT_EQ(shown, (std::vector<int>{1, 2, 0, 1, 2, 0, 1})) << "repeat count 0 plays for ever";
    EXPECT_EQ(events[0], "changing 1");
    EXPECT_EQ(events[1], "change 2");
    EXPECT_EQ(events[2], "changing 2");
    EXPECT_EQ(events.size(), 16u);
}

TEST(GifImage, RepeatCountStopsOnTheLastFrameAndLoopRestarts)
{
    Player player(Animation(3, 10, 3));
    player.Image.SetAnimate(true);
    int steps = 0;
    while (player.Timer->IsActive() && steps < 100) {
        player.Timer->Fire();
        ++steps;
    }
    EXPECT_EQ(steps, 1 + 3 * 3 - 1) << "a timing step, then frames 2, 3 and two more passes";
    EXPECT_EQ(player.Shown(), 2) << "the last frame stays";
    EXPECT_TRUE(player.Image.Animate());

    player.Image.SetLoop(true);
    ASSERT_TRUE(player.Timer->IsActive());
    player.Timer->Fire();
    EXPECT_EQ(player.Shown(), 0) << "restarts from frame 1";
    for (int i = 0; i < 30; ++i)
        player.Timer->Fire();
    EXPECT_TRUE(player.Timer->IsActive()) << "Loop ignores the repeat count";

    Player once(Animation(2, 10)); // no repeat extension: one pass
    once.Image.SetAnimate(true);
    once.Timer->Fire();
    once.Timer->Fire();
    EXPECT_FALSE(once.Timer->IsActive());
    EXPECT_EQ(once.Shown(), 1);
}

TEST(GifImage, SwitchingAnimateOffShowsFrameOneUnlessTheNextFrameIsOne)
{
    Player player(Animation(6, 10, 0));
    player.Image.SetAnimate(true);
    for (int i = 0; i < 4; ++i)
        player.Timer->Fire();
    ASSERT_EQ(player.Shown(), 3); // frame 4 of 6
    int changes = 0;
    player.Image.OnChange = [&](TGIFImage*) { ++changes; };
    player.Image.SetAnimate(false);
    EXPECT_EQ(player.Shown(), 0);
    EXPECT_EQ(player.Image.CurrentFrame(), 1);
    EXPECT_FALSE(player.Timer->IsActive());
    EXPECT_EQ(changes, 1);

    player.Image.SetAnimate(true);
    for (int i = 0; i < 6; ++i)
        player.Timer->Fire();
    ASSERT_EQ(player.Shown(), 5); // the last frame; the next would be frame 1
    ASSERT_EQ(player.Image.CurrentFrame(), 1);
    changes = 0;
    player.Image.SetAnimate(false);
    EXPECT_EQ(player.Shown(), 5);
    EXPECT_EQ(changes, 0) << "the frame shown does not change";
}

TEST(GifImage, SettingTheFrameRaisesEventsAroundTheChange)
{
    Player player(Animation(3));
    std::vector<int> seen;
    player.Image.OnChanging = [&](TGIFImage*) { seen.push_back(player.Shown()); };
    player.Image.OnChange = [&](TGIFImage*) { seen.push_back(player.Shown()); };
    player.Image.SetCurrentFrame(3);
    player.Image.SetCurrentFrame(3); // not a new number
    player.Image.SetCurrentFrame(9);
    EXPECT_EQ(seen, (std::vector<int>{0, 2}));
    EXPECT_EQ(player.Image.CurrentFrame(), 3);

    // An exception escaping a handler during a timer step is reported.
    ExceptionRecorder::Clear();
    player.Image.OnChange = [](TGIFImage*) { throw Exception("handler failed"); };
    player.Image.SetAnimate(true);
    player.Timer->Fire();
    ASSERT_EQ(ExceptionRecorder::Count(), 1u);
    EXPECT_EQ(ExceptionRecorder::MessageAt(0), "handler failed");

    // One from OnChanging, before the step re-arms the timer, does not end the animation.
    ExceptionRecorder::Clear();
    Player failing(Animation(3));
    failing.Image.OnChanging = [](TGIFImage*) { throw Exception("handler failed"); };
    failing.Image.SetAnimate(true);
    failing.Timer->Fire();
    EXPECT_EQ(ExceptionRecorder::Count(), 1u);
    EXPECT_TRUE(failing.Timer->IsActive());
}

TEST(GifImage, LeavingAFrameAppliesItsDisposal)
{
    const QRgb black = qRgb(0, 0, 0);
    // Frame 1 fills the screen; frame 2 (1 × 1 at 0,0) is left with the given
    // disposal; frame 3 (1 × 1 at 1,1) does not cover it.
    auto run = [&](int disposal, bool transparent) {
        GifBuilder gif(2, 2, 3, kColors);
        gif.Control(1, 0, transparent ? 7 : -1).Solid(0, 0, 2, 2, 0);
        gif.Control(disposal, 0).Solid(0, 0, 1, 1, 2);
        gif.Control(0, 0).Solid(1, 1, 1, 1, 3);
        TGIFImage image;
        image.LoadFromData(gif.Trailer().Bytes());
        image.SetCurrentFrame(2);
        EXPECT_EQ(Pixel(image), kColors[2]);
        image.SetCurrentFrame(3);
        return Pixel(image);
    };
    EXPECT_EQ(run(0, false), kColors[2]);
    EXPECT_EQ(run(1, false), kColors[2]);
    EXPECT_EQ(run(2, false), black) << "no mask: opaque black";
    EXPECT_EQ(run(5, false), black) << "disposal 5 counts as 2";
    EXPECT_EQ(qAlpha(run(2, true)), 0) << "with a mask: transparent";
    EXPECT_EQ(run(3, false), kColors[0]) << "restore to previous";
    EXPECT_EQ(run(3, true), kColors[0]);

    // Transparent pixels of a frame keep what lies under them.
    GifBuilder gif(2, 1, 3, kColors);
    gif.Control(1, 0).Solid(0, 0, 2, 1, 4).Control(1, 0, 6).Image(0, 0, 2, 1, QByteArray("\6\5", 2));
    TGIFImage image;
    image.LoadFromData(gif.Trailer().Bytes());
    image.SetCurrentFrame(2);
    EXPECT_EQ(Pixel(image, 0), kColors[4]);
    EXPECT_EQ(Pixel(image, 1), kColors[5]);
}

// Paints the control on a parent filled with a colour and returns what shows.
QImage PaintOver(TGIFImage& image, QSize parentSize, QColor background = QColor(10, 20, 30))
{
    QWidget parent;
    parent.resize(parentSize);
    QPalette palette;
    palette.setColor(QPalette::Window, background);
    parent.setPalette(palette);
    parent.setAutoFillBackground(true);
    image.setParent(&parent);
    const QImage shot = parent.grab().toImage().convertToFormat(QImage::Format_RGB32);
    image.setParent(nullptr);
    return shot;
}

TEST(GifImage, PaintingPlacesThePictureAndShowsTheBackgroundThroughIt)
{
    const QRgb back = qRgb(10, 20, 30);
    // 3 × 2, left column transparent.
    const QByteArray transparent = GifBuilder(3, 2, 3, kColors)
                                       .Control(0, 0, 7)
                                       .Image(0, 0, 3, 2, QByteArray("\7\1\2\7\3\4", 6))
                                       .Bytes();
    TGIFImage image;
    image.LoadFromData(transparent);
    image.resize(8, 5);
    EXPECT_FALSE(image.IsOpaque());
    QImage shot = PaintOver(image, QSize(8, 5));
    EXPECT_EQ(shot.pixel(0, 0), back);
    EXPECT_EQ(shot.pixel(1, 0), kColors[1]);
    EXPECT_EQ(shot.pixel(3, 0), back) << "outside the picture";

    image.SetCenter(true); // (8 − 3) / 2 = 2, (5 − 2) / 2 = 1
    shot = PaintOver(image, QSize(8, 5));
    EXPECT_EQ(shot.pixel(3, 1), kColors[1]);
    EXPECT_EQ(shot.pixel(2, 1), back);

    image.SetTile(true);
    shot = PaintOver(image, QSize(8, 5));
    EXPECT_EQ(shot.pixel(1 + 3, 0 + 2), kColors[1]);
    EXPECT_EQ(shot.pixel(7, 4), kColors[1]) << "the last column and row are cut";
    EXPECT_EQ(shot.pixel(6, 4), back);

    image.SetStretch(true); // stretching wins over tiling
    image.resize(6, 4);
    shot = PaintOver(image, QSize(6, 4));
    EXPECT_EQ(shot.pixel(0, 0), back);
    EXPECT_EQ(shot.pixel(1, 0), back);
    EXPECT_EQ(shot.pixel(2, 0), kColors[1]);
    EXPECT_EQ(shot.pixel(5, 3), kColors[4]);

    image.SetVisible(false);
    shot = PaintOver(image, QSize(6, 4));
    EXPECT_EQ(shot.pixel(5, 3), back);

    // An opaque first frame paints the mask's transparent pixels black.
    const QByteArray opaqueFirst = GifBuilder(2, 1, 3, kColors)
                                       .Control(2, 0)
                                       .Solid(0, 0, 2, 1, 1)
                                       .Control(0, 0, 7)
                                       .Solid(0, 0, 1, 1, 7)
                                       .Bytes();
    TGIFImage mixed;
    mixed.LoadFromData(opaqueFirst);
    mixed.SetCurrentFrame(2);
    mixed.resize(2, 1);
    shot = PaintOver(mixed, QSize(2, 1));
    EXPECT_EQ(shot.pixel(0, 0), qRgb(0, 0, 0));

    TGIFImage opaque;
    opaque.LoadFromData(Animation(1));
    opaque.resize(2, 2);
    EXPECT_TRUE(opaque.IsOpaque());
    opaque.resize(3, 2);
    EXPECT_FALSE(opaque.IsOpaque());
    opaque.SetTile(true);
    EXPECT_TRUE(opaque.IsOpaque());
}

TEST(GifImage, AutoSizeTakesTheLogicalSize)
{
    TGIFImage image;
    image.LoadFromData(GifBuilder(5, 3).Solid(4, 2, 3, 3, 1).Bytes());
    EXPECT_EQ(image.size(), QSize(105, 105));
    image.SetAutoSize(true);
    EXPECT_EQ(image.size(), QSize(7, 5)) << "the screen grown to hold every frame";
    image.LoadFromData(Animation(1));
    EXPECT_EQ(image.size(), QSize(2, 2));
}

TEST(GifImage, MouseEventsReachTheHandlers)
{
    TGIFImage image;
    std::vector<std::string> seen;
    image.OnMouseDown = [&](TGIFImage*, Qt::MouseButton button, Qt::KeyboardModifiers, int x, int y) {
        seen.push_back("down " + std::to_string(int(button)) + " " + std::to_string(x) + "," +
                       std::to_string(y));
    };
    image.OnMouseUp = [&](TGIFImage*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
        seen.push_back("up");
    };
    image.OnClick = [&](TGIFImage* sender) {
        EXPECT_EQ(sender, &image);
        seen.push_back("click");
    };
    QTest::mouseClick(&image, Qt::LeftButton, {}, QPoint(3, 4));
    QTest::mouseClick(&image, Qt::RightButton, {}, QPoint(1, 1));
    EXPECT_EQ(seen, (std::vector<std::string>{"down 1 3,4", "up", "click", "down 2 1,1", "up"}));
}

TEST(GifImage, KvadoPicturesAreEmbedded)
{
    struct Expected {
        const char* name;
        QSize size;
        bool animated;
    } pictures[] = {{"SPLPIC", {320, 200}, false},
                    {"anim", {44, 37}, true},
                    {"Slika1", {}, false},
                    {"SLIKA2", {}, false},
                    {"ABLOGO", {}, false}};
    TGIFImage image;
    image.SetFileName(QStringLiteral(KVADO_SOURCE_DIR "/tests/widgets/gif/one-pixel.gif"));
    for (const Expected& e : pictures) {
        SCOPED_TRACE(e.name);
        image.LoadFromResource(e.name);
        EXPECT_EQ(image.LastError(), geNone);
        EXPECT_TRUE(image.FileName().isEmpty());
        EXPECT_FALSE(image.Empty());
        if (e.size.isValid())
            EXPECT_EQ(image.LogicalSize(), e.size);
        EXPECT_EQ(image.FrameCount() > 1, e.animated);
    }
    image.LoadFromResource("ANIM");
    EXPECT_TRUE(image.IsTransparent()) << "the logo lies on the tool panel";
}

} // namespace
