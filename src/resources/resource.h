/* Resource identifiers, shared by velvane.rc and the C++ code. Plain C. */
#pragma once

#define IDI_VELVANE 1
#define IDR_MAIN_MENU 100
#define IDB_TAB_IMAGES 101
#define IDR_ABOUT_PICTURE 102

/* Commands of the tray menu */
#define IDM_HOTKEY_SETTINGS 40001  /* 快捷键设置 */
#define IDM_RUN_AT_STARTUP 40002   /* 开机自动运行 */
#define IDM_ABOUT 40003            /* 关于作者 */
#define IDM_EXIT 40004             /* 退出程序 */
#define IDM_USER_PAGES 40005       /* 自定义搜索页… (after 开机自动运行) */
#define IDM_RUN_BOX_SEARCH 40010   /* 从“运行”对话框搜索 (before 自定义搜索页…) */
#define IDM_REMEMBER_HISTORY 40011 /* 记住搜索记录 (after 开机自动运行) */
#define IDM_CLEAR_HISTORY 40012    /* 清除搜索记录 */
#define IDM_SHOW_SUGGESTIONS 40013 /* 输入时显示搜索建议 */
