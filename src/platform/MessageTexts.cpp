#include "platform/MessageTexts.h"

#include "platform/MessageTable.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace mallow::platform {

namespace {

// The system's texts for the codes the server library, the provider calls and the network
// stack return.
constexpr MessageEntry SystemTexts[] = {
    {0, "The operation completed successfully.\r\n"},
    {1, "Incorrect function.\r\n"},
    {2, "The system cannot find the file specified.\r\n"},
    {3, "The system cannot find the path specified.\r\n"},
    {4, "The system cannot open the file.\r\n"},
    {5, "Access is denied.\r\n"},
    {6, "The handle is invalid.\r\n"},
    {8, "Not enough storage is available to process this command.\r\n"},
    {14, "Not enough storage is available to complete this operation.\r\n"},
    {21, "The device is not ready.\r\n"},
    {31, "A device attached to the system is not functioning.\r\n"},
    {32, "The process cannot access the file because it is being used by another process.\r\n"},
    {33, "The process cannot access the file because another process has locked a portion of "
         "the file.\r\n"},
    {50, "The request is not supported.\r\n"},
    {51, "Windows cannot find the network path. Verify that the network path is correct and "
         "the destination computer is not busy or turned off. If Windows still cannot find the "
         "network path, contact your network administrator.\r\n"},
    {52, "You were not connected because a duplicate name exists on the network. Go to System "
         "in Control Panel to change the computer name and try again.\r\n"},
    {53, "The network path was not found.\r\n"},
    {54, "The network is busy.\r\n"},
    {55, "The specified network resource or device is no longer available.\r\n"},
    {56, "The network BIOS command limit has been reached.\r\n"},
    {57, "A network adapter hardware error occurred.\r\n"},
    {58, "The specified server cannot perform the requested operation.\r\n"},
    {59, "An unexpected network error occurred.\r\n"},
    {60, "The remote adapter is not compatible.\r\n"},
    {61, "The printer queue is full.\r\n"},
    {62, "Space to store the file waiting to be printed is not available on the server.\r\n"},
    {63, "Your file waiting to be printed was deleted.\r\n"},
    {64, "The specified network name is no longer available.\r\n"},
    {65, "Network access is denied.\r\n"},
    {66, "The network resource type is not correct.\r\n"},
    {67, "The network name cannot be found.\r\n"},
    {68, "The name limit for the local computer network adapter card was exceeded.\r\n"},
    {69, "The network BIOS session limit was exceeded.\r\n"},
    {70, "The remote server has been paused or is in the process of being started.\r\n"},
    {71, "No more connections can be made to this remote computer at this time because there "
         "are already as many connections as the computer can accept.\r\n"},
    {72, "The specified printer or disk device has been paused.\r\n"},
    {80, "The file exists.\r\n"},
    {82, "The directory or file cannot be created.\r\n"},
    {85, "The local device name is already in use.\r\n"},
    {86, "The specified network password is not correct.\r\n"},
    {87, "The parameter is incorrect.\r\n"},
    {88, "A write fault occurred on the network.\r\n"},
    {110, "The system cannot open the device or file specified.\r\n"},
    {111, "The file name is too long.\r\n"},
    {120, "This function is not supported on this system.\r\n"},
    {121, "The semaphore timeout period has expired.\r\n"},
    {122, "The data area passed to a system call is too small.\r\n"},
    {123, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {124, "The system call level is not correct.\r\n"},
    {161, "The specified path is invalid.\r\n"},
    {170, "The requested resource is in use.\r\n"},
    {183, "Cannot create a file when that file already exists.\r\n"},
    {206, "The filename or extension is too long.\r\n"},
    {234, "More data is available.\r\n"},
    {259, "No more data is available.\r\n"},
    {1003, "Cannot complete this function.\r\n"},
    {1060, "The specified service does not exist as an installed service.\r\n"},
    {1200, "The specified device name is invalid.\r\n"},
    {1201, "The device is not currently connected but it is a remembered connection.\r\n"},
    {1202, "The local device name has a remembered connection to another network "
           "resource.\r\n"},
    {1203, "No network provider accepted the given network path.\r\n"},
    {1204, "The specified network provider name is invalid.\r\n"},
    {1205, "Unable to open the network connection profile.\r\n"},
    {1206, "The network connection profile is corrupted.\r\n"},
    {1207, "Cannot enumerate a noncontainer.\r\n"},
    {1208, "An extended error has occurred.\r\n"},
    {1209, "The format of the specified group name is invalid.\r\n"},
    {1210, "The format of the specified computer name is invalid.\r\n"},
    {1211, "The format of the specified event name is invalid.\r\n"},
    {1212, "The format of the specified domain name is invalid.\r\n"},
    {1213, "The format of the specified service name is invalid.\r\n"},
    {1214, "The format of the specified network name is invalid.\r\n"},
    {1215, "The format of the specified share name is invalid.\r\n"},
    {1216, "The format of the specified password is invalid.\r\n"},
    {1217, "The format of the specified message name is invalid.\r\n"},
    {1218, "The format of the specified message destination is invalid.\r\n"},
    {1219, "Multiple connections to a server or shared resource by the same user, using more "
           "than one user name, are not allowed. Disconnect all previous connections to the "
           "server or shared resource and try again.\r\n"},
    {1220, "An attempt was made to establish a session to a network server, but there are "
           "already too many sessions established to that server.\r\n"},
    {1221, "The workgroup or domain name is already in use by another computer on the "
           "network.\r\n"},
    {1222, "The network is not present or not started.\r\n"},
    {1223, "The operation was canceled by the user.\r\n"},
    {1225, "The remote system refused the network connection.\r\n"},
    {1226, "The network connection was gracefully closed.\r\n"},
    {1227, "The network transport endpoint already has an address associated with it.\r\n"},
    {1228, "An address has not yet been associated with the network endpoint.\r\n"},
    {1229, "An operation was attempted on a nonexistent network connection.\r\n"},
    {1230, "An invalid operation was attempted on an active network connection.\r\n"},
    {1231, "The network location cannot be reached. For information about network "
           "troubleshooting, see Windows Help.\r\n"},
    {1232, "The network location cannot be reached. For information about network "
           "troubleshooting, see Windows Help.\r\n"},
    {1233, "The network location cannot be reached. For information about network "
           "troubleshooting, see Windows Help.\r\n"},
    {1234, "No service is operating at the destination network endpoint on the remote "
           "system.\r\n"},
    {1235, "The request was aborted.\r\n"},
    {1236, "The network connection was aborted by the local system.\r\n"},
    {1240, "The account is not authorized to log in from this station.\r\n"},
    {1244, "The operation being requested was not performed because the user has not been "
           "authenticated.\r\n"},
    {1245, "The operation being requested was not performed because the user has not logged "
           "on to the network. The specified service does not exist.\r\n"},
    {1311, "There are currently no logon servers available to service the logon request.\r\n"},
    {1317, "The specified user does not exist.\r\n"},
    {1326, "Logon failure: unknown user name or bad password.\r\n"},
    {1327, "Logon failure: user account restriction.  Possible reasons are blank passwords "
           "not allowed, logon hour restrictions, or a policy restriction has been "
           "enforced.\r\n"},
    {1328, "Logon failure: account logon time restriction violation.\r\n"},
    {1329, "Logon failure: user not allowed to log on to this computer.\r\n"},
    {1330, "Logon failure: the specified account password has expired.\r\n"},
    {1331, "Logon failure: account currently disabled.\r\n"},
    {1355, "The specified domain either does not exist or could not be contacted.\r\n"},
    {1385, "Logon failure: the user has not been granted the requested logon type at this "
           "computer.\r\n"},
    {1722, "The RPC server is unavailable.\r\n"},
    {1726, "The remote procedure call failed.\r\n"},
    {1727, "The remote procedure call failed and did not execute.\r\n"},
    {1753, "There are no more endpoints available from the endpoint mapper.\r\n"},
    {1789, "The trust relationship between this workstation and the primary domain "
           "failed.\r\n"},
    {1793, "Logon failure: the specified account has expired.\r\n"},
    {1907, "The user's password must be changed before logging on the first time.\r\n"},
    {1909, "The referenced account is currently locked out and may not be logged on to.\r\n"},
    {6118, "The list of servers for this workgroup is not currently available\r\n"},
};

// LAN Manager codes as servers return them.
constexpr MessageEntry LanManagerTexts[] = {
    {2102, "The workstation driver is not installed.\r\n"},
    {2103, "The server could not be located.\r\n"},
    {2104, "An internal error occurred. The network cannot access a shared memory "
           "segment.\r\n"},
    {2105, "A network resource shortage occurred .\r\n"},
    {2106, "This operation is not supported on workstations.\r\n"},
    {2107, "The device is not connected.\r\n"},
    {2114, "The Server service is not started.\r\n"},
    {2115, "The queue is empty.\r\n"},
    {2116, "The device or directory does not exist.\r\n"},
    {2117, "The operation is invalid on a redirected resource.\r\n"},
    {2118, "The name has already been shared.\r\n"},
    {2119, "The server is currently out of the requested resource.\r\n"},
    {2121, "Requested addition of items exceeds the maximum allowed.\r\n"},
    {2122, "The Peer service supports only two simultaneous users.\r\n"},
    {2123, "The API return buffer is too small.\r\n"},
    {2127, "A remote API error occurred.\r\n"},
    {2131, "An error occurred when opening or reading the configuration file.\r\n"},
    {2136, "A general network error occurred.\r\n"},
    {2137, "The Workstation service is in an inconsistent state. Restart the computer before "
           "restarting the Workstation service.\r\n"},
    {2138, "The Workstation service has not been started.\r\n"},
    {2139, "The requested information is not available.\r\n"},
    {2140, "An internal Windows error occurred.\r\n"},
    {2141, "The server is not configured for transactions.\r\n"},
    {2142, "The requested API is not supported on the remote server.\r\n"},
    {2143, "The event name is invalid.\r\n"},
    {2144, "The computer name already exists on the network. Change it and restart the "
           "computer.\r\n"},
    {2146, "The specified component could not be found in the configuration "
           "information.\r\n"},
    {2147, "The specified parameter could not be found in the configuration "
           "information.\r\n"},
    {2149, "A line in the configuration file is too long.\r\n"},
    {2150, "The printer does not exist.\r\n"},
    {2151, "The print job does not exist.\r\n"},
    {2152, "The printer destination cannot be found.\r\n"},
    {2153, "The printer destination already exists.\r\n"},
    {2154, "The printer queue already exists.\r\n"},
    {2155, "No more printers can be added.\r\n"},
    {2156, "No more print jobs can be added.\r\n"},
    {2157, "No more printer destinations can be added.\r\n"},
    {2158, "This printer destination is idle and cannot accept control operations.\r\n"},
    {2159, "This printer destination request contains an invalid control function.\r\n"},
    {2160, "The print processor is not responding.\r\n"},
    {2161, "The spooler is not running.\r\n"},
    {2162, "This operation cannot be performed on the print destination in its current "
           "state.\r\n"},
    {2163, "This operation cannot be performed on the printer queue in its current "
           "state.\r\n"},
    {2164, "This operation cannot be performed on the print job in its current state.\r\n"},
    {2165, "A spooler memory allocation failure occurred.\r\n"},
    {2166, "The device driver does not exist.\r\n"},
    {2167, "The data type is not supported by the print processor.\r\n"},
    {2168, "The print processor is not installed.\r\n"},
    {2180, "The service database is locked.\r\n"},
    {2181, "The service table is full.\r\n"},
    {2182, "The requested service has already been started.\r\n"},
    {2183, "The service does not respond to control actions.\r\n"},
    {2184, "The service has not been started.\r\n"},
    {2185, "The service name is invalid.\r\n"},
    {2186, "The service is not responding to the control function.\r\n"},
    {2187, "The service control is busy.\r\n"},
    {2188, "The configuration file contains an invalid service program name.\r\n"},
    {2189, "The service could not be controlled in its present state.\r\n"},
    {2190, "The service ended abnormally.\r\n"},
    {2191, "The requested pause, continue, or stop is not valid for this service.\r\n"},
    {2192, "The service control dispatcher could not find the service name in the dispatch "
           "table.\r\n"},
    {2193, "The service control dispatcher pipe read failed.\r\n"},
    {2194, "A thread for the new service could not be created.\r\n"},
    {2200, "This workstation is already logged on to the local-area network.\r\n"},
    {2201, "The workstation is not logged on to the local-area network.\r\n"},
    {2202, "The specified username is invalid.\r\n"},
    {2203, "The password parameter is invalid.\r\n"},
    {2205, "The logon processor did not add the message alias.\r\n"},
    {2207, "The logoff processor did not delete the message alias.\r\n"},
    {2209, "Network logons are paused.\r\n"},
    {2210, "A centralized logon-server conflict occurred.\r\n"},
    {2211, "The server is configured without a valid user path.\r\n"},
    {2212, "An error occurred while loading or running the logon script.\r\n"},
    {2214, "The logon server was not specified. Your computer will be logged on as "
           "STANDALONE.\r\n"},
    {2215, "The logon server could not be found.\r\n"},
    {2216, "There is already a logon domain for this computer.\r\n"},
    {2217, "The logon server could not validate the logon.\r\n"},
    {2219, "The security database could not be found.\r\n"},
    {2220, "The group name could not be found.\r\n"},
    {2221, "The user name could not be found.\r\n"},
    {2222, "The resource name could not be found.\r\n"},
    {2223, "The group already exists.\r\n"},
    {2224, "The user account already exists.\r\n"},
    {2225, "The resource permission list already exists.\r\n"},
    {2226, "This operation is only allowed on the primary domain controller of the "
           "domain.\r\n"},
    {2227, "The security database has not been started.\r\n"},
    {2228, "There are too many names in the user accounts database.\r\n"},
    {2229, "A disk I/O failure occurred.\r\n"},
    {2230, "The limit of 64 entries per resource was exceeded.\r\n"},
    {2231, "Deleting a user with a session is not allowed.\r\n"},
    {2232, "The parent directory could not be located.\r\n"},
    {2233, "Unable to add to the security database session cache segment.\r\n"},
    {2234, "This operation is not allowed on this special group.\r\n"},
    {2235, "This user is not cached in user accounts database session cache.\r\n"},
    {2236, "The user already belongs to this group.\r\n"},
    {2237, "The user does not belong to this group.\r\n"},
    {2238, "This user account is undefined.\r\n"},
    {2239, "This user account has expired.\r\n"},
    {2240, "The user is not allowed to log on from this workstation.\r\n"},
    {2241, "The user is not allowed to log on at this time.\r\n"},
    {2242, "The password of this user has expired.\r\n"},
    {2243, "The password of this user cannot change.\r\n"},
    {2244, "This password cannot be used now.\r\n"},
    {2245, "The password does not meet the password policy requirements. Check the minimum "
           "password length, password complexity and password history requirements.\r\n"},
    {2246, "The password of this user is too recent to change.\r\n"},
    {2247, "The security database is corrupted.\r\n"},
    {2248, "No updates are necessary to this replicant network/local security database.\r\n"},
    {2249, "This replicant database is outdated; synchronization is required.\r\n"},
    {2250, "The network connection could not be found.\r\n"},
    {2251, "This asg_type is invalid.\r\n"},
    {2252, "This device is currently being shared.\r\n"},
    {2270, "The computer name could not be added as a message alias. The name may already "
           "exist on the network.\r\n"},
    {2271, "The Messenger service is already started.\r\n"},
    {2272, "The Messenger service failed to start.\r\n"},
    {2273, "The message alias could not be found on the network.\r\n"},
    {2274, "This message alias has already been forwarded.\r\n"},
    {2275, "This message alias has been added but is still forwarded.\r\n"},
    {2276, "This message alias already exists locally.\r\n"},
    {2277, "The maximum number of added message aliases has been exceeded.\r\n"},
    {2278, "The computer name could not be deleted.\r\n"},
    {2279, "Messages cannot be forwarded back to the same workstation.\r\n"},
    {2280, "An error occurred in the domain message processor.\r\n"},
    {2281, "The message was sent, but the recipient has paused the Messenger service.\r\n"},
    {2282, "The message was sent but not received.\r\n"},
    {2283, "The message alias is currently in use. Try again later.\r\n"},
    {2284, "The Messenger service has not been started.\r\n"},
    {2285, "The name is not on the local computer.\r\n"},
    {2286, "The forwarded message alias could not be found on the network.\r\n"},
    {2287, "The message alias table on the remote station is full.\r\n"},
    {2288, "Messages for this alias are not currently being forwarded.\r\n"},
    {2289, "The broadcast message was truncated.\r\n"},
    {2294, "This is an invalid device name.\r\n"},
    {2295, "A write fault occurred.\r\n"},
    {2297, "A duplicate message alias exists on the network.\r\n"},
    {2299, "The message alias was not successfully deleted from all networks.\r\n"},
    {2300, "This operation is not supported on computers with multiple networks.\r\n"},
    {2310, "This shared resource does not exist.\r\n"},
    {2311, "This device is not shared.\r\n"},
    {2312, "A session does not exist with that computer name.\r\n"},
    {2314, "There is not an open file with that identification number.\r\n"},
    {2315, "A failure occurred when executing a remote administration command.\r\n"},
    {2316, "A failure occurred when opening a remote temporary file.\r\n"},
    {2317, "The data returned from a remote administration command has been truncated to "
           "64K.\r\n"},
    {2318, "This device cannot be shared as both a spooled and a non-spooled resource.\r\n"},
    {2319, "The information in the list of servers may be incorrect.\r\n"},
    {2320, "The computer is not active in this domain.\r\n"},
    {2321, "The share must be removed from the Distributed File System before it can be "
           "deleted.\r\n"},
    {2331, "The operation is invalid for this device.\r\n"},
    {2332, "This device cannot be shared.\r\n"},
    {2333, "This device was not open.\r\n"},
    {2334, "This device name list is invalid.\r\n"},
    {2335, "The queue priority is invalid.\r\n"},
    {2337, "There are no shared communication devices.\r\n"},
    {2338, "The queue you specified does not exist.\r\n"},
    {2340, "This list of devices is invalid.\r\n"},
    {2341, "The requested device is invalid.\r\n"},
    {2342, "This device is already in use by the spooler.\r\n"},
    {2343, "This device is already in use as a communication device.\r\n"},
    {2351, "This computer name is invalid.\r\n"},
    {2354, "The string and prefix specified are too long.\r\n"},
    {2356, "This path component is invalid.\r\n"},
    {2357, "Could not determine the type of input.\r\n"},
    {2362, "The buffer for types is not big enough.\r\n"},
    {2370, "Profile files cannot exceed 64K.\r\n"},
    {2371, "The start offset is out of range.\r\n"},
    {2372, "The system cannot delete current connections to network resources.\r\n"},
    {2373, "The system was unable to parse the command line in this file.\r\n"},
    {2374, "An error occurred while loading the profile file.\r\n"},
    {2378, "This log file has changed between reads.\r\n"},
    {2380, "The source path cannot be a directory.\r\n"},
    {2381, "The source path is illegal.\r\n"},
    {2382, "The destination path is illegal.\r\n"},
    {2383, "The source and destination paths are on different servers.\r\n"},
    {2385, "The Run server you requested is paused.\r\n"},
    {2389, "An error occurred when communicating with a Run server.\r\n"},
    {2391, "An error occurred when starting a background process.\r\n"},
    {2392, "The shared resource you are connected to could not be found.\r\n"},
    {2400, "The LAN adapter number is invalid.\r\n"},
    {2401, "There are open files on the connection.\r\n"},
    {2402, "Active connections still exist.\r\n"},
    {2403, "This share name or password is invalid.\r\n"},
    {2404, "The device is being accessed by an active process.\r\n"},
    {2405, "The drive letter is in use locally.\r\n"},
    {2430, "The specified client is already registered for the specified event.\r\n"},
    {2431, "The alert table is full.\r\n"},
    {2432, "An invalid or nonexistent alert name was raised.\r\n"},
    {2433, "The alert recipient is invalid.\r\n"},
    {2434, "A user's session with this server has been deleted because the user's logon hours "
           "are no longer valid.\r\n"},
    {2440, "The log file does not contain the requested record number.\r\n"},
    {2450, "The user accounts database is not configured correctly.\r\n"},
    {2451, "This operation is not permitted when the Netlogon service is running.\r\n"},
    {2452, "This operation is not allowed on the last administrative account.\r\n"},
    {2453, "Could not find domain controller for this domain.\r\n"},
    {2454, "Could not set logon information for this user.\r\n"},
    {2455, "The Netlogon service has not been started.\r\n"},
    {2456, "Unable to add to the user accounts database.\r\n"},
    {2457, "This server's clock is not synchronized with the primary domain controller's "
           "clock.\r\n"},
    {2458, "A password mismatch has been detected.\r\n"},
    {2460, "The server identification does not specify a valid server.\r\n"},
    {2461, "The session identification does not specify a valid session.\r\n"},
    {2462, "The connection identification does not specify a valid connection.\r\n"},
    {2463, "There is no space for another entry in the table of available servers.\r\n"},
    {2464, "The server has reached the maximum number of sessions it supports.\r\n"},
    {2465, "The server has reached the maximum number of connections it supports.\r\n"},
    {2466, "The server cannot open more files because it has reached its maximum "
           "number.\r\n"},
    {2467, "There are no alternate servers registered on this server.\r\n"},
    {2470, "Try down-level (remote admin protocol) version of API instead.\r\n"},
    {2480, "The UPS driver could not be accessed by the UPS service.\r\n"},
    {2481, "The UPS service is not configured correctly.\r\n"},
    {2482, "The UPS service could not access the specified Comm Port.\r\n"},
    {2483, "The UPS indicated a line fail or low battery situation. Service not started.\r\n"},
    {2484, "The UPS service failed to perform a system shut down.\r\n"},
    {2500, "The program below returned an MS-DOS error code:\r\n"},
    {2501, "The program below needs more memory:\r\n"},
    {2502, "The program below called an unsupported MS-DOS function:\r\n"},
    {2503, "The workstation failed to boot.\r\n"},
    {2504, "The file below is corrupt.\r\n"},
    {2505, "No loader is specified in the boot-block definition file.\r\n"},
    {2506, "NetBIOS returned an error: The NCB and SMB are dumped above.\r\n"},
    {2507, "A disk I/O error occurred.\r\n"},
    {2508, "Image parameter substitution failed.\r\n"},
    {2509, "Too many image parameters cross disk sector boundaries.\r\n"},
    {2510, "The image was not generated from an MS-DOS diskette formatted with /S.\r\n"},
    {2511, "Remote boot will be restarted later.\r\n"},
    {2512, "The call to the Remoteboot server failed.\r\n"},
    {2513, "Cannot connect to the Remoteboot server.\r\n"},
    {2514, "Cannot open image file on the Remoteboot server.\r\n"},
    {2515, "Connecting to the Remoteboot server...\r\n"},
    {2516, "Connecting to the Remoteboot server...\r\n"},
    {2517, "Remote boot service was stopped; check the error log for the cause of the "
           "problem.\r\n"},
    {2518, "Remote boot startup failed; check the error log for the cause of the "
           "problem.\r\n"},
    {2519, "A second connection to a Remoteboot resource is not allowed.\r\n"},
    {2550, "The browser service was configured with MaintainServerList=No.\r\n"},
    {2610, "Service failed to start since none of the network adapters started with this "
           "service.\r\n"},
};

// Internet codes that exist.
constexpr MessageEntry InternetTexts[] = {
    {12001, "No more Internet handles can be allocated\r\n"},
    {12002, "The operation timed out\r\n"},
    {12003, "The server returned extended information\r\n"},
    {12004, "An internal error occurred in the Microsoft Internet extensions\r\n"},
    {12005, "The URL is invalid\r\n"},
    {12006, "The URL does not use a recognized protocol\r\n"},
    {12007, "The server name or address could not be resolved\r\n"},
    {12008, "A protocol with the required capabilities was not found\r\n"},
    {12009, "The option is invalid\r\n"},
    {12010, "The length is incorrect for the option type\r\n"},
    {12011, "The option value cannot be set\r\n"},
    {12012, "Microsoft Internet Extension support has been shut down\r\n"},
    {12013, "The user name was not allowed\r\n"},
    {12014, "The password was not allowed\r\n"},
    {12015, "The login request was denied\r\n"},
    {12016, "The requested operation is invalid\r\n"},
    {12017, "The operation has been canceled\r\n"},
    {12018, "The supplied handle is the wrong type for the requested operation\r\n"},
    {12019, "The handle is in the wrong state for the requested operation\r\n"},
    {12020, "The request cannot be made on a Proxy session\r\n"},
    {12021, "The registry value could not be found\r\n"},
    {12022, "The registry parameter is incorrect\r\n"},
    {12023, "Direct Internet access is not available\r\n"},
    {12024, "No context value was supplied\r\n"},
    {12025, "No status callback was supplied\r\n"},
    {12026, "There are outstanding requests\r\n"},
    {12027, "The information format is incorrect\r\n"},
    {12028, "The requested item could not be found\r\n"},
    {12029, "A connection with the server could not be established\r\n"},
    {12030, "The connection with the server was terminated abnormally\r\n"},
    {12031, "The connection with the server was reset\r\n"},
    {12032, "The action must be retried\r\n"},
    {12033, "The proxy request is invalid\r\n"},
    {12034, "User interaction is required to complete the operation\r\n"},
    {12036, "The handle already exists\r\n"},
    {12037, "The date in the certificate is invalid or has expired\r\n"},
    {12038, "The host name in the certificate is invalid or does not match\r\n"},
    {12039, "A redirect request will change a non-secure to a secure connection\r\n"},
    {12040, "A redirect request will change a secure to a non-secure connection\r\n"},
    {12041, "Mixed secure and non-secure connections\r\n"},
    {12042, "Changing to non-secure post\r\n"},
    {12043, "Data is being posted on a non-secure connection\r\n"},
    {12044, "A certificate is required to complete client authentication\r\n"},
    {12045, "The certificate authority is invalid or incorrect\r\n"},
    {12046, "Client authentication has not been correctly installed\r\n"},
    {12047, "An error has occurred in a Wininet asynchronous thread. You may need to "
            "restart\r\n"},
    {12048, "The protocol scheme has changed during a redirect operation\r\n"},
    {12049, "There are operations awaiting retry\r\n"},
    {12050, "The operation must be retried\r\n"},
    {12051, "There are no new cache containers\r\n"},
    {12052, "A security zone check indicates the operation must be retried\r\n"},
    {12110, "There is already an FTP request in progress on this session\r\n"},
    {12111, "The FTP session was terminated\r\n"},
    {12112, "FTP Passive mode is not available\r\n"},
    {12130, "A gopher protocol error occurred\r\n"},
    {12131, "The locator must be for a file\r\n"},
    {12132, "An error was detected while parsing the data\r\n"},
    {12133, "There is no more data\r\n"},
    {12134, "The locator is invalid\r\n"},
    {12135, "The locator type is incorrect for this operation\r\n"},
    {12136, "The request must be for a gopher+ item\r\n"},
    {12137, "The requested attribute was not found\r\n"},
    {12138, "The locator type is not recognized\r\n"},
    {12150, "The requested header was not found\r\n"},
    {12151, "The server does not support the requested protocol level\r\n"},
    {12152, "The server returned an invalid or unrecognized response\r\n"},
    {12153, "The supplied HTTP header is invalid\r\n"},
    {12154, "The request for a HTTP header is invalid\r\n"},
    {12155, "The HTTP header already exists\r\n"},
    {12156, "The HTTP redirect request failed\r\n"},
    {12157, "An error occurred in the secure channel support\r\n"},
    {12158, "The file could not be written to the cache\r\n"},
    {12159, "The TCP/IP protocol is not installed properly\r\n"},
    {12160, "The HTTP request was not redirected\r\n"},
    {12161, "A cookie from the server must be confirmed by the user\r\n"},
    {12162, "A cookie from the server has been declined acceptance\r\n"},
    {12163, "The computer is disconnected from the network\r\n"},
    {12164, "The server is unreachable\r\n"},
    {12165, "The proxy server is unreachable\r\n"},
    {12166, "The proxy auto-configuration script is in error\r\n"},
    {12167, "Could not download the proxy auto-configuration script file\r\n"},
    {12168, "The HTTP redirect request must be confirmed by the user\r\n"},
    {12169, "The supplied certificate is invalid\r\n"},
    {12170, "The supplied certificate has been revoked\r\n"},
    {12171, "The Dialup failed because file sharing was turned on and a failure was "
            "requested if security check was needed\r\n"},
};

constexpr std::uint32_t MessageTableResource = 11;

bool SameName(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

class BuiltInSource : public MessageSource
{
public:
    BuiltInSource()
        : system(BuildMessageTableImage(SystemTexts, true)),
          lanManager(BuildMessageTableImage(LanManagerTexts, true)),
          internet(BuildMessageTableImage(InternetTexts, true)),
          programResource(BuildMessageTableImage(LanManagerTexts, false))
    {
    }

    std::optional<std::span<const std::uint8_t>> ModuleTable(std::string_view module) const override
    {
        if (SameName(module, "netmsg.dll"))
            return std::span<const std::uint8_t>(lanManager);
        if (SameName(module, "wininet.dll"))
            return std::span<const std::uint8_t>(internet);
        return std::nullopt;
    }

    std::span<const std::uint8_t> SystemTable() const override { return system; }

    std::optional<std::span<const std::uint8_t>> ProgramResource(std::uint32_t type,
                                                                 std::uint32_t id) const override
    {
        if (type == MessageTableResource && id == 1)
            return std::span<const std::uint8_t>(programResource);
        return std::nullopt;
    }

private:
    std::vector<std::uint8_t> system;
    std::vector<std::uint8_t> lanManager;
    std::vector<std::uint8_t> internet;
    std::vector<std::uint8_t> programResource;
};

} // namespace

const MessageSource& BuiltInMessages()
{
    static const BuiltInSource source;
    return source;
}

bool HasPlatformText(std::uint32_t code)
{
    const auto& source = BuiltInMessages();
    std::optional<std::span<const std::uint8_t>> table = source.SystemTable();
    if (code >= 2100 && code <= 2999)
        table = source.ModuleTable("netmsg.dll");
    else if (code >= 12000 && code <= 12171)
        table = source.ModuleTable("wininet.dll");
    return table && !MessageTableText(*table, code).empty();
}

} // namespace mallow::platform
