#pragma once

// Another login from the running main window: the login screen, modeless and without owner.
// A login screen already there is shown again (there is only ever one); a new one loads the
// login page and shows itself once the page has arrived. A login there hands its game address
// to the main window ("app://loadgame"), and "app://exitgame" closes only the login screen.
void ShowAnotherLogin();
// The same for another account: the login page, and the games it opens, use the website-data
// session given (1 and up). A login screen of another session is ended first.
void ShowAccountLogin(int session);
