// The status pictures: 432 x 117, the word in its colour on white, at any device pixel ratio.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QImage>

#include "app/qt/status_picture_button.h"
#include "app/qt/status_pictures.h"

namespace torvex {
namespace {

struct Expected {
    StatusPicture picture;
    QString word;
    QColor colour;
};

// Pixels of the image near a colour (anti-aliased edges blend it with the white ground).
int PixelsOf(const QImage& image, QColor colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - colour.red()) < 8 &&
                std::abs(pixel.green() - colour.green()) < 8 &&
                std::abs(pixel.blue() - colour.blue()) < 8) {
                ++count;
            }
        }
    }
    return count;
}

TEST(StatusPictures, EachShowsItsWordInItsColourOnWhite) {
    const Expected expected[] = {
        {StatusPicture::Standby, QStringLiteral("Standby"), QColor(0, 0, 255)},
        {StatusPicture::Fail, QStringLiteral("FAIL"), QColor(255, 0, 0)},
        {StatusPicture::Pass, QStringLiteral("PASS"), QColor(0, 176, 0)},
        {StatusPicture::Ready, QStringLiteral("Ready"), QColor(0, 100, 0)},
        {StatusPicture::Updating, QStringLiteral("Updating..."), QColor(150, 75, 0)},
        {StatusPicture::Complete, QStringLiteral("Update complete!"), QColor(0, 176, 0)},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.word.toStdString());
        EXPECT_EQ(QString::fromUtf16(qt::LookOf(e.picture).word), e.word);
        for (qreal ratio : {1.0, 2.0}) {
            const QImage image = qt::RenderStatusPicture(e.picture, ratio).toImage();
            EXPECT_EQ(image.size(), QSize(qRound(432 * ratio), qRound(117 * ratio)));
            EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::white));
            EXPECT_EQ(image.pixelColor(image.width() - 1, image.height() - 1), QColor(Qt::white));
            const int word_pixels = PixelsOf(image, e.colour);
            // A legible word: a good share of the picture, yet mostly white ground.
            EXPECT_GT(word_pixels, image.width() * image.height() / 40);
            EXPECT_LT(word_pixels, image.width() * image.height() / 2);
            EXPECT_GT(PixelsOf(image, Qt::white), image.width() * image.height() / 2);
        }
    }
    EXPECT_FALSE(qt::ApplicationIcon().isNull());
    EXPECT_FALSE(qt::ApplicationIcon().pixmap(32, 32).isNull());
}

// A screen reader asks the picture for its name: the word it shows, from the first paint on.
TEST(StatusPictures, TheButtonsAccessibleNameIsTheWordItShows) {
    qt::StatusPictureButton button;
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&button);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("Standby"));
    const std::pair<StatusPicture, QString> shown[] = {
        {StatusPicture::Ready, QStringLiteral("Ready")},
        {StatusPicture::Updating, QStringLiteral("Updating...")},
        {StatusPicture::Complete, QStringLiteral("Update complete!")},
        {StatusPicture::Fail, QStringLiteral("FAIL")},
        {StatusPicture::Standby, QStringLiteral("Standby")},
    };
    for (const auto& [picture, word] : shown) {
        button.Load(picture);
        EXPECT_EQ(accessible->text(QAccessible::Name), word);
    }
}

}  // namespace
}  // namespace torvex
