#include "controls/check_list_ctrl.h"

#include <gtest/gtest.h>

#include <QTest>

namespace {

class CheckListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        list.resize(400, 200);
        list.setColumnCount(3);
        list.setHorizontalHeaderLabels(
            {QStringLiteral("File"), QStringLiteral("Length"), QStringLiteral("Status")});
        list.setColumnWidth(0, 150);
        list.setColumnWidth(1, 100);
        ASSERT_TRUE(list.InitHeaderCheckBox());
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    }

    void AddRows(std::initializer_list<int> states) {
        for (int state : states) {
            const int row = list.InsertItem(-1, QStringLiteral("file%1.mp4").arg(list.GetItemCount()));
            list.SetStateImage(row, state);
        }
    }

    void ClickHeader(int column) {
        CCheckHeadCtrl* head = list.HeadCtrl();
        QTest::mouseClick(head->viewport(), Qt::LeftButton, {}, head->SectionRect(column).center());
    }

    std::vector<int> States() const {
        std::vector<int> states;
        for (int row = 0; row < list.GetItemCount(); ++row) states.push_back(list.GetStateImage(row));
        return states;
    }

    int Header() const { return list.HeadCtrl()->ImageIndex(); }

    CCheckListCtrl list;
};

TEST_F(CheckListTest, InitShowsAnUncheckedHeaderBoxOnce) {
    EXPECT_EQ(Header(), 1);
    EXPECT_FALSE(list.model()->headerData(0, Qt::Horizontal, Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_TRUE(list.model()->headerData(1, Qt::Horizontal, Qt::DecorationRole).value<QIcon>().isNull());
    list.HeadCtrl()->SetImageIndex(2);
    EXPECT_TRUE(list.InitHeaderCheckBox());
    EXPECT_EQ(Header(), 2);  // a second call changes nothing
}

TEST_F(CheckListTest, NewColumnTitlesKeepTheHeaderBox) {
    auto header_icon = [&] {
        return list.model()->headerData(0, Qt::Horizontal, Qt::DecorationRole).value<QIcon>();
    };
    const qint64 unchecked = header_icon().cacheKey();
    list.setHorizontalHeaderLabels(
        {QStringLiteral("Datei"), QStringLiteral("Dauer"), QStringLiteral("Status")});
    EXPECT_EQ(header_icon().cacheKey(), unchecked);
    list.horizontalHeaderItem(0)->setText(QStringLiteral("文件"));
    EXPECT_EQ(header_icon().cacheKey(), unchecked);
    AddRows({2});
    EXPECT_NE(header_icon().cacheKey(), unchecked);
    EXPECT_EQ(list.model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("文件"));
}

TEST_F(CheckListTest, HeaderClickChecksAllThenUnchecksAll) {
    AddRows({1, 1, 1});
    ClickHeader(0);
    EXPECT_EQ(States(), (std::vector<int>{2, 2, 2}));
    EXPECT_EQ(Header(), 2);
    ClickHeader(0);
    EXPECT_EQ(States(), (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(Header(), 1);
}

TEST_F(CheckListTest, HeaderFollowsTheRows) {
    AddRows({2, 2, 2});
    EXPECT_EQ(Header(), 2);
    list.item(1, 0)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(Header(), 1);
    list.item(1, 0)->setCheckState(Qt::Checked);
    EXPECT_EQ(Header(), 2);
    list.SetCheck(2, false);
    EXPECT_EQ(Header(), 1);
    list.DeleteItem(2);
    EXPECT_EQ(Header(), 2);
}

TEST_F(CheckListTest, SpaceOnARowTogglesItsBoxAndTheHeaderFollows) {
    AddRows({2, 1, 2});
    list.setFocus();
    const QRect cell = list.visualItemRect(list.item(1, 0));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_EQ(list.GetSelectedRow(), 1);
    EXPECT_EQ(Header(), 1);
    QTest::keyClick(list.viewport(), Qt::Key_Space);
    EXPECT_EQ(States(), (std::vector<int>{2, 2, 2}));
    EXPECT_EQ(Header(), 2);
    QTest::keyClick(list.viewport(), Qt::Key_Space);
    EXPECT_EQ(States(), (std::vector<int>{2, 1, 2}));
    EXPECT_EQ(Header(), 1);
}

TEST_F(CheckListTest, OtherColumnsHeadersChangeNothing) {
    AddRows({1, 2, 1});
    for (int column : {1, 2}) ClickHeader(column);
    EXPECT_EQ(States(), (std::vector<int>{1, 2, 1}));
    EXPECT_EQ(Header(), 1);
}

TEST_F(CheckListTest, RowsWithoutACheckBoxCountAsChecked) {
    AddRows({0, 2, 0});
    EXPECT_EQ(Header(), 2);
    list.SetStateImage(1, 1);
    EXPECT_EQ(Header(), 1);
    // A header click gives every row a box.
    ClickHeader(0);
    EXPECT_EQ(States(), (std::vector<int>{2, 2, 2}));
}

TEST_F(CheckListTest, TextChangesKeepTheHeader) {
    AddRows({2, 1});
    list.SetItemText(0, 2, QStringLiteral("done"));
    list.SetItemText(1, 0, QStringLiteral("renamed.mp4"));
    EXPECT_EQ(Header(), 1);
    EXPECT_EQ(list.GetItemText(1, 0), QStringLiteral("renamed.mp4"));
    EXPECT_EQ(list.GetStateImage(1), 1);
}

TEST(CheckList, UninitialisedHeaderIgnoresRowsAndClicks) {
    CCheckListCtrl list;
    list.setColumnCount(2);
    list.resize(300, 100);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    const int row = list.InsertItem(0, QStringLiteral("a.mp4"));
    list.SetCheck(row, true);
    CCheckHeadCtrl* head = list.HeadCtrl();
    QTest::mouseClick(head->viewport(), Qt::LeftButton, {}, head->SectionRect(0).center());
    EXPECT_EQ(head->ImageIndex(), 0);
    EXPECT_TRUE(list.GetCheck(row));
}

TEST(CheckList, ReportLook) {
    CCheckListCtrl list;
    EXPECT_TRUE(list.showGrid());
    EXPECT_EQ(list.selectionBehavior(), QAbstractItemView::SelectRows);
    list.SetBkColor(QColor(250, 250, 210));
    EXPECT_EQ(list.palette().color(QPalette::Base), QColor(250, 250, 210));
    list.setColumnCount(1);
    list.InsertItem(0, QStringLiteral("a"));
    list.InsertItem(0, QStringLiteral("b"));
    list.InsertItem(-1, QStringLiteral("c"));
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(2, 0)).center());
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier,
                      list.visualItemRect(list.item(1, 0)).center());
    EXPECT_EQ(list.GetSelectedRows(), (QList<int>{1, 2}));
    EXPECT_EQ(list.GetSelectedRow(), 1);
    EXPECT_EQ(list.GetItemText(0, 0), QStringLiteral("b"));
}

}  // namespace
