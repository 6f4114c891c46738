<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>QObject</name>
    <message>
        <source>Parlowick</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IDS_ERROR_OCCUR_DESC_%1</source>
        <translation>Error occurred. Please contact support@parlowick.example for help. Error info:
%1</translation>
    </message>
    <message>
        <source>IDS_SELECT_FILE_TO_EXPORT</source>
        <translation>Select file to export</translation>
    </message>
    <message>
        <source>IDS_TITLE_EXPORT_SMS</source>
        <translation>Exporting SMS &amp; MMS now</translation>
    </message>
    <message>
        <source>IDS_TITLE_EXPORT_SMS_TO_ANDROID</source>
        <translation>Restoring SMS &amp; MMS to Android now</translation>
    </message>
    <message>
        <source>IDS_TITLE_IMPORT_SMS_FROM_ANDROID</source>
        <translation>Backing up SMS &amp; MMS now</translation>
    </message>
</context>
<context>
    <name>AccountForm</name>
    <message>
        <source>IDS_ASK_CREATE_A_DEFAULT_ACCOUNT_WHEN_NO_ACCOUNTS</source>
        <translation>No account existing. Want to create default Account?</translation>
    </message>
    <message>
        <source>IDS_CONFIRM_CREATE_ACCOUNT_%1</source>
        <translation>Confirm to create account %1?</translation>
    </message>
    <message>
        <source>IDS_CONFIRM_DEL_THIS_ACCOUNT</source>
        <translation>Confirm to delete this account?</translation>
    </message>
    <message>
        <source>IDS_DEL_ACCOUNT_SUC</source>
        <translation>Successfully delete account.</translation>
    </message>
    <message>
        <source>IDS_INVALID_ACCOUNT_NAME</source>
        <translation>Invalid account(can&apos;t contain \ / : * ? &quot; &lt; &gt; | etc).</translation>
    </message>
    <message>
        <source>IDS_PLEASE_SEL_OR_CREATE_ACCOUNT</source>
        <translation>Please select or create Account.</translation>
    </message>
    <message>
        <source>IDS_SEL_EXIST_ACCOUNT</source>
        <translation>Please select existing account to delete.</translation>
    </message>
    <message>
        <source>Select account or enter a new account name for SMS local database.</source>
        <translation>Select account or enter a new account name for SMS &amp; MMS local database.</translation>
    </message>
    <message>
        <source>%1 - Account</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Account:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;a href=&quot;#&quot;&gt;Delete this account.&lt;/a&gt;</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Search All Messages</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Backup SMS from Android</source>
        <translation>Backup SMS &amp;&amp; MMS from Android</translation>
    </message>
    <message>
        <source>Export SMS to file</source>
        <translation>Export SMS &amp;&amp; MMS to File</translation>
    </message>
    <message>
        <source>Restore SMS to Android</source>
        <translation>Restore SMS &amp;&amp; MMS to Android</translation>
    </message>
    <message>
        <source>IDS_ASK_RESTART_SYNCLISTENSMSTHREAD</source>
        <translation>Want to restart monitoring message receiving?</translation>
    </message>
    <message>
        <source>IDS_CAN_NOT_FIND_ANY_CONTACTS</source>
        <translation>Found no recepient.</translation>
    </message>
    <message>
        <source>IDS_CAN_NOT_FOUNDSMS_KEYWORD_%0</source>
        <translation>Found no SMS/MMS with keyword &apos;%0&apos;.</translation>
    </message>
    <message>
        <source>IDS_CAN_NOT_FOUND_AND_SMS</source>
        <translation>Found no SMS/MMS.</translation>
    </message>
    <message>
        <source>IDS_CONFIRM_DEL_SEL_MSG</source>
        <translation>Confirm to delete the selected SMS &amp; MMS?</translation>
    </message>
    <message>
        <source>IDS_CONFIRM_DEL_THREAD(s)</source>
        <translation>Confirm to delete the selected message(s)?</translation>
    </message>
    <message>
        <source>IDS_DELETE_SEL_MSG</source>
        <translation>Delete selected SMS &amp;&amp; MMS</translation>
    </message>
    <message>
        <source>IDS_DELETE_THREAD(s)</source>
        <translation>Delete SMS &amp;&amp; MMS</translation>
    </message>
    <message>
        <source>IDS_ERROR_OCCURRED_WHEN_LISTENING_SMS_%1</source>
        <translation>Error occurred during monitoring message receiving. %1</translation>
    </message>
    <message>
        <source>IDS_EXPORT_SEL_MSG</source>
        <translation>Export selected SMS &amp;&amp; MMS to File</translation>
    </message>
    <message>
        <source>IDS_OPEN_LOCAL_DB_FOLDER</source>
        <translation>Open Database Folder</translation>
    </message>
    <message>
        <source>IDS_PRINT_SEL_MSG</source>
        <translation>Print selected SMS &amp;&amp; MMS</translation>
    </message>
    <message>
        <source>IDS_PRINT_THREAD(s)</source>
        <translation>Print SMS &amp;&amp; MMS</translation>
    </message>
    <message>
        <source>IDS_RESTORE_SEL_MSG</source>
        <translation>Restore selected SMS &amp;&amp; MMS to Android</translation>
    </message>
    <message>
        <source>Import SMS Backup &amp;&amp; Restore XML...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IDS_SELECT_XML_FILE_TO_IMPORT</source>
        <translation>Select the SMS Backup &amp; Restore XML file to import.</translation>
    </message>
    <message>
        <source>IDS_TITLE_LOADING_XML</source>
        <translation>Loading the XML backup file now.</translation>
    </message>
    <message>
        <source>IDS_FORM_TITLE_%1_PREVIEW_XML</source>
        <translation>%1 - Preview Backup File</translation>
    </message>
    <message>
        <source>IDS_SELECT_CSV_FILE_TO_IMPORT</source>
        <translation>Select CSV file to import.</translation>
    </message>
    <message>
        <source>IDS_SUC_DELETE_SEL_MSG</source>
        <translation>Successfully delete selected SMS &amp; MMS.</translation>
    </message>
    <message>
        <source>IDS_SUC_DELETE_SMS_THREAD(s)</source>
        <translation>Message(s) deleted successfully.</translation>
    </message>
    <message>
        <source>IDS_SYNC_FROM_OTHER_CSV_NOT_MATCH_ANY_FORMAT</source>
        <translation>The CSV file format did not match. Please send the CSV file to support@parlowick.example for converting.</translation>
    </message>
    <message>
        <source>IDS_TITLE_LOADING_CSV</source>
        <translation>Loading CSV file now.</translation>
    </message>
    <message>
        <source>IDS_TITLE_MULTI_CONVERSION</source>
        <translation>Conversations</translation>
    </message>
    <message>
        <source>&amp;Menu</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Import</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Export</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Print</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sync</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Transfer SMS from Other Phone to Android</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Search</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Compose message</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connection</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>How to use</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Homepage</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Contact us</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>About</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>About Software</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Chat</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Find</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Total:%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>about:blank</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Automatic Backup…</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ConnectionForm</name>
    <message>
        <source>连接手机,先开启手机同步服务, 再选择以下方式之一进行连接.</source>
        <translation>To connect Android to computer, firstly start Velmora on Android and then select one of the following connecting mothods. Click &lt;a href=&quot;%1&quot;&gt;HERE&lt;/a&gt; for more detail.</translation>
    </message>
    <message>
        <source>连接方式:</source>
        <translation>Connecting Method:</translation>
    </message>
    <message>
        <source>USB连接方式</source>
        <translation>Connect via USB</translation>
    </message>
    <message>
        <source>WiFi连接方式</source>
        <translation>Connect via WiFi</translation>
    </message>
    <message>
        <source>选择设备:</source>
        <translation>Select Device:</translation>
    </message>
    <message>
        <source>手机WiFi地址:</source>
        <translation>WiFi IP:</translation>
    </message>
    <message>
        <source>连接</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>USB</source>
        <translation>USB</translation>
    </message>
    <message>
        <source>WiFi</source>
        <translation>WiFi</translation>
    </message>
    <message>
        <source>IDS_CAN_NOT_MAKE_CONNECTION_START_SYNC_FIRST_ERR_%1</source>
        <translation>Fail to connect device. Please start Velmora to retry.%1</translation>
    </message>
    <message>
        <source>IDS_CONNECT_SUC_NEED_SYNC</source>
        <translation>Connect successfully. Want to sync SMS &amp; MMS to computer now?</translation>
    </message>
    <message>
        <source>IDS_INVALID_WIFI_ADDR_WHEN_CONNECT_TO_DEVICE</source>
        <translation>Invalid WiFi IP.</translation>
    </message>
    <message>
        <source>IDS_PLEASE_SELECT_CONNECT_DEVICE</source>
        <translation>Please select device to connect.</translation>
    </message>
    <message>
        <source>IDS_PLEASE_SELECT_CONNECT_METHOD</source>
        <translation>Please select connecting method.</translation>
    </message>
    <message>
        <source>IDS_USB_CONNECTION_CAN_NOT_FIND_ANY_DEVICES</source>
        <translation>Found no device connected. Please check your device USB driver.</translation>
    </message>
    <message>
        <source>%1-Connection</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;a href=&quot;#&quot;&gt;Refresh&lt;/a&gt;</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CSVPreviewForm</name>
    <message>
        <source>全部导入到本地数据库</source>
        <translation>Import all SMS &amp;&amp; MMS to Local Database.</translation>
    </message>
    <message>
        <source>全部还原到手机</source>
        <translation>Restore all SMS &amp;&amp; MMS to Android.</translation>
    </message>
    <message>
        <source>IDS_FORM_TITLE_%1_PREVIEW_SMS</source>
        <translation>%1 - Preview CSV File</translation>
    </message>
    <message>
        <source>IDS_IMPORT_SELECTION_TO_LOCAL</source>
        <translation>Import selected SMS &amp;&amp; MMS to Local Database</translation>
    </message>
    <message>
        <source>IDS_RESTORE_SELECTION_TO_ANDROID</source>
        <translation>Restore selected SMS &amp;&amp; MMS to Android</translation>
    </message>
    <message>
        <source>IDS_TITLE_RESTORE_SMS_TO_ANDROID</source>
        <translation>Restoring SMS &amp; MMS to Android now</translation>
    </message>
    <message>
        <source>IDS_TITLS_IMPORTING_SMS</source>
        <translation>Importing SMS &amp; MMS now</translation>
    </message>
    <message>
        <source>Dialog</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Total:%1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ConversationForm</name>
    <message>
        <source>(Press Alt + Enter to send SMS)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IDS_SEND_SMS_NO_CONTENT</source>
        <translation>Your message is blank.Please compose it first.</translation>
    </message>
    <message>
        <source>IDS_SEND_SMS_SUC</source>
        <translation>Message sent successfully.</translation>
    </message>
    <message>
        <source>Send</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Total:%1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DraftSMSForm</name>
    <message>
        <source>(Press Alt + Enter to send SMS)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This message has not been sent. Close the window and discard what you typed?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IDS_SEND_SMS_NO_RECIPIENTS</source>
        <translation>Please enter recepient.</translation>
    </message>
    <message>
        <source>IDS_SEND_SMS_NO_SMS_CONTENT</source>
        <translation>Your message is blank.Please compose it first.</translation>
    </message>
    <message>
        <source>IDS_SEND_SMS_SUC</source>
        <translation>Message sent successfully.</translation>
    </message>
    <message>
        <source>%1 (only %2 of %3 parts)</source>
        <translation>%1 (only %2 of %3 parts)</translation>
    </message>
    <message>
        <source>nobody</source>
        <translation>nobody</translation>
    </message>
    <message>
        <source>Sent to: %1</source>
        <translation>Sent to: %1</translation>
    </message>
    <message>
        <source>Not sent to: %1</source>
        <translation>Not sent to: %1</translation>
    </message>
    <message>
        <source>%1 - Sending Message</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Recipients:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(Use Commas separate Multiple Recipients)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Content:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LocalBackupThread</name>
    <message>
        <source>IDS_EXPORT_SMS_SUC_%1</source>
        <translation>Successfully export %1 SMS &amp; MMS.</translation>
    </message>
    <message>
        <source>IDS_SUC_EXPORT_%1_MMS</source>
        <translation>Successfully export %1 SMS &amp; MMS.</translation>
    </message>
    <message>
        <source>IDS_UNKNOWN_BACKUP_FORMAT</source>
        <translation>Unknown exporting format.</translation>
    </message>
    <message>
        <source>SMS %1:%2</source>
        <translation>SMS(MMS) %1:%2</translation>
    </message>
    <message>
        <source>Text Files(*.txt)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CSV Files(*.csv)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PDF Files(*.pdf)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Word Files(*.doc)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>HTML Files(*.html)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>HTML(Thread) Files(*.html)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SMS Backup &amp; Restore XML(*.xml)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LocalPreviewCSVThread</name>
    <message>
        <source>IDS_CSV_ATTACHMENTS_REFUSED_%1</source>
        <translation>%1 attachments were left out: they were not files inside the folder "data" beside the file.</translation>
    </message>
    <message>
        <source>IDS_CSV_ATTACHMENT_MISSING_%1_MESSAGE_%2</source>
        <translation>Message %2 of the file names the attachment %1, which is not in the folder "data" beside the file. Nothing was imported.</translation>
    </message>
    <message>
        <source>IDS_CSV_DRAFTS_LEFT_OUT_%1</source>
        <translation>Drafts left out: %1.</translation>
    </message>
    <message>
        <source>IDS_CSV_ENDS_IN_QUOTES_LINE_%1</source>
        <translation>The file ends inside quoted text that begins on line %1: it was cut off, or a quote is missing. Nothing was imported.</translation>
    </message>
    <message>
        <source>IDS_CSV_NO_MESSAGES</source>
        <translation>The file holds no messages.</translation>
    </message>
    <message>
        <source>IDS_CSV_NO_PHONE_NUMBERS</source>
        <translation>This file has no phone numbers: its conversations are named after the contacts.</translation>
    </message>
    <message>
        <source>IDS_CSV_NUL_BYTE_LINE_%1</source>
        <translation>Line %1 of the file holds a NUL byte, which no message text has: the file is damaged or not a text file. Nothing was imported.</translation>
    </message>
    <message>
        <source>IDS_CSV_READ_AS_LATIN1</source>
        <translation>The file was not UTF-8 and was read as Latin-1.</translation>
    </message>
    <message>
        <source>IDS_CSV_ROW_TOO_LONG_LINE_%1</source>
        <translation>The message on line %1 of the file is longer than 64 MiB, more than any phone holds. Nothing was imported.</translation>
    </message>
    <message>
        <source>IDS_IMPORT_CSV_PREVIEW_SUC_%1</source>
        <translation>Successfully load %1 SMS &amp; MMS.</translation>
    </message>
    <message>
        <source>IDS_IMPORT_CSV_PREVIEW_SUC_%1_INVALID_%2</source>
        <translation>Successfully load %1 SMS. Found %2 invalid SMS.</translation>
    </message>
    <message>
        <source>IDS_INVALID_DATE_FORMAT</source>
        <translation>Incorrect date format in CSV data.Correct format is (yyyy-MM-dd hh:mm:ss).</translation>
    </message>
    <message>
        <source>IDS_INVALID_OMBREVALE_SMS_CSV_FORMAT</source>
        <translation>The format of your imported CSV file did not match that of Ombrevale.</translation>
    </message>
    <message>
        <source>SMS %1:%2</source>
        <translation>SMS(MMS) %1:%2</translation>
    </message>
</context>
<context>
    <name>LocalPreviewXmlThread</name>
    <message>
        <source>IDS_IMPORT_XML_PREVIEW_SUC_%1</source>
        <translation>Successfully load %1 SMS &amp; MMS.</translation>
    </message>
    <message>
        <source>IDS_IMPORT_XML_NOT_SENT_%1</source>
        <translation>%1 not sent (drafts, failed, queued) left out.</translation>
    </message>
    <message>
        <source>IDS_IMPORT_XML_OTHER_ENTRIES_%1</source>
        <translation>%1 other entries (call records, messages without a date) skipped.</translation>
    </message>
    <message>
        <source>IDS_IMPORT_XML_READ_AS_%1</source>
        <translation>Its text was read as %1, the encoding the file declares.</translation>
    </message>
    <message>
        <source>IDS_IMPORT_XML_UNUSABLE_PARTS_%1</source>
        <translation>%1 unusable attachments skipped.</translation>
    </message>
    <message>
        <source>IDS_IMPORT_XML_CONTROLS_DROPPED_%1</source>
        <translation>%1 control characters left out of the text.</translation>
    </message>
    <message>
        <source>SMS %1:%2</source>
        <translation>SMS(MMS) %1:%2</translation>
    </message>
</context>
<context>
    <name>SbrXmlReader</name>
    <message>
        <source>IDS_XML_CONTROL_CHARACTER</source>
        <translation>it holds a control character, which XML does not allow</translation>
    </message>
    <message>
        <source>IDS_XML_CUT_SHORT</source>
        <translation>The file ends too early: it was cut off before its end or is still being written, and nothing was read from it.</translation>
    </message>
    <message>
        <source>IDS_XML_DAMAGED_%1_LINE_%2</source>
        <translation>The file is damaged at line %2: %1. Nothing was read from it.</translation>
    </message>
    <message>
        <source>IDS_XML_DATA_NOT_BASE64</source>
        <translation>the data of an attachment holds bytes that are not Base64</translation>
    </message>
    <message>
        <source>IDS_XML_DOCUMENT_TYPE</source>
        <translation>The file declares a document type, which SMS Backup &amp; Restore files never do; it was not read.</translation>
    </message>
    <message>
        <source>IDS_XML_ENCODING_%1</source>
        <translation>The file is written in %1, which SMS Backup &amp; Restore never writes and this program cannot read; nothing was read from it.</translation>
    </message>
    <message>
        <source>IDS_XML_VALUE_TOO_LONG</source>
        <translation>a text holds more than 64 MiB, more than any message</translation>
    </message>
    <message>
        <source>IDS_XML_NOT_UTF8</source>
        <translation>it holds bytes that are not UTF-8 text, the encoding of SMS Backup &amp; Restore files</translation>
    </message>
    <message>
        <source>IDS_XML_NOT_SMS_BACKUP</source>
        <translation>The file is not an SMS Backup &amp; Restore XML file.</translation>
    </message>
</context>
<context>
    <name>LocalRestoreThread</name>
    <message>
        <source>IDS_INVALID_DATE_FORMAT</source>
        <translation>Incorrect date format in CSV data.Correct format is (yyyy-MM-dd hh:mm:ss).</translation>
    </message>
    <message>
        <source>IDS_RESTORE_SUC_%1</source>
        <translation>Successfully import %1 SMS &amp; MMS.</translation>
    </message>
    <message>
        <source>IDS_RESTORE_ALREADY_THERE_%1</source>
        <translation>%1 were already in the archive.</translation>
    </message>
    <message>
        <source>SMS %1:%2</source>
        <translation>SMS(MMS) %1:%2</translation>
    </message>
</context>
<context>
    <name>AccountLock</name>
    <message>
        <source>This account is being updated by another Parlowick window or command</source>
        <translation>This account is being updated by another Parlowick window or command</translation>
    </message>
</context>
<context>
    <name>ItemModelContacts</name>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
</context>
<context>
    <name>SyncRestoreThread</name>
    <message>
        <source>IDS_CONNECTING_TO_PHONE</source>
        <translation>Connecting to the phone…</translation>
    </message>
    <message>
        <source>IDS_RESTORE_SUC_%1</source>
        <translation>Successfully import %1 SMS &amp; MMS.</translation>
    </message>
    <message>
        <source>SMS %1:%2, Receiving %3 (%4 KB)</source>
        <translation>SMS(MMS) %1:%2, Receiving %3 (%4 KB)</translation>
    </message>
    <message>
        <source>SMS %1:%2</source>
        <translation>SMS(MMS) %1:%2</translation>
    </message>
</context>
<context>
    <name>SyncBackupThread</name>
    <message>
        <source>IDS_CONNECTING_TO_PHONE</source>
        <translation>Connecting to the phone…</translation>
    </message>
    <message>
        <source>IDS_EXPORT_SMS_TO_ANDROID_SUC_%1</source>
        <translation>Successfully restore %1 SMS &amp; MMS to Android.</translation>
    </message>
    <message>
        <source>SMS %1:%2, Sending %3</source>
        <translation>SMS(MMS) %1:%2, Sending %3</translation>
    </message>
    <message>
        <source>SMS %1:%2</source>
        <translation>SMS(MMS) %1:%2</translation>
    </message>
</context>
<context>
    <name>ProgressForm</name>
    <message>
        <source>SMS: 0/0</source>
        <translation>SMS(MMS): 0/0</translation>
    </message>
</context>
<context>
    <name>MMSPrinter</name>
    <message>
        <source>IDS_PRINT_MMS</source>
        <translation>Print SMS &amp; MMS</translation>
    </message>
</context>
<context>
    <name>MessageScope</name>
    <message numerus="yes">
        <source>All %n message(s)</source>
        <translation>
            <numerusform>All %n message</numerusform>
            <numerusform>All %n messages</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1, %n message(s)</source>
        <translation>
            <numerusform>%1, %n message</numerusform>
            <numerusform>%1, %n messages</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n conversation(s)</source>
        <translation>
            <numerusform>%n conversation</numerusform>
            <numerusform>%n conversations</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n selected message(s)</source>
        <translation>
            <numerusform>%n selected message</numerusform>
            <numerusform>%n selected messages</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 - %2</source>
        <translation>%1 - %2</translation>
    </message>
</context>
<context>
    <name>BubblePrintRenderer</name>
    <message>
        <source>IDS_PRINT_TITLE_%1</source>
        <translation>SMS &amp; MMS — %1</translation>
    </message>
</context>
<context>
    <name>SearchArea</name>
    <message>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AboutForm</name>
    <message>
        <source>%1 - About</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Dialog</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 help</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ArchiveSearchForm</name>
    <message>
        <source>Search All Messages</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Words to find in every conversation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Contact</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Date</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Message</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Preparing the search</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Searching is not available for this account.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The messages are not ready to be searched yet: close this window and open it again to prepare them.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No message holds these words.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The newest %1 messages with these words:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Messages with these words: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SearchQuery</name>
    <message>
        <source>A quotation mark is not closed: put words to find next to each other between two of them.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A minus sign must stand right before the word to leave out.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Look for at most %1 words at a time.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OR must stand between two words to find.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Give at least one word to find besides the words to leave out.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SearchIndex</name>
    <message>
        <source>Searching is not available for this account.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The search index is not ready.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The search index was damaged and is being made again from the messages. Search again in a moment.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SearchIndexThread</name>
    <message>
        <source>SMS %1:%2</source>
        <translation>SMS(MMS) %1:%2</translation>
    </message>
</context>
<context>
    <name>AutoBackup</name>
    <message>
        <source>Automatic backup paused</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Importing %1…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Backing up the phone…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Last automatic run failed: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Last backup %1, %2 new</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Waiting for the phone</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AutoBackupForm</name>
    <message>
        <source>Automatic Backup</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Back up automatically</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Phone</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>USB device serial:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>none: no backup when the phone is plugged in</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>WiFi address:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>none: no backup over WiFi</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Back up over WiFi every:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>By USB the phone is backed up when it is plugged in; by WiFi, when it can be reached and the last backup is older than the time chosen.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Watched folders</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Backup files saved in these folders (SMS Backup &amp; Restore XML, CSV) are imported once they are complete.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Other phone&apos;s CSV</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keep running in the notification area</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start when I log in</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Recent runs</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No automatic run yet.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;a href=&quot;%1&quot;&gt;How automatic backup works&lt;/a&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 - Automatic Backup</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>15 minutes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>30 minutes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 hour</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>2 hours</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>6 hours</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 day</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CSV files in the folder come from another phone or program and are read by the other-phone importer.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose a folder to watch</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This desktop has no notification area.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Starting at login is not available on this system.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Opens this account when you log in, in the notification area when the program is kept running there.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The WiFi address is four numbers separated by dots, such as 192.168.1.20.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Give a USB device serial, a WiFi address or a folder to watch, or turn automatic backup off.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The automatic backup settings cannot be saved:
%1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AutoBackupTray</name>
    <message>
        <source>The settings file %1 cannot be written.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Messages imported</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n message(s) imported from %1</source>
        <translation>
            <numerusform>%n message imported from %1</numerusform>
            <numerusform>%n messages imported from %1</numerusform>
        </translation>
    </message>
    <message>
        <source>Automatic backup</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n new message(s) from your phone</source>
        <translation>
            <numerusform>%n new message from your phone</numerusform>
            <numerusform>%n new messages from your phone</numerusform>
        </translation>
    </message>
    <message>
        <source>Automatic import failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 cannot be read.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Automatic backup failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The phone did not answer.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Back Up Now</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pause Automatic Backup</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Automatic backup is off</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LoginAutostart</name>
    <message>
        <source>The folder %1 cannot be created.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 cannot be removed: %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AdbTracker</name>
    <message>
        <source>adb track-devices printed what cannot be read; trying again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>adb track-devices failed: %1; trying again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>adb track-devices was ended by a signal; trying again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>adb track-devices ended (exit code %1); trying again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>adb track-devices ended (exit code %1): %2; trying again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>adb is not installed or not on the PATH</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>adb could not be started: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FolderWatch</name>
    <message>
        <source>The folder does not exist</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This is not a folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The folder cannot be read</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
