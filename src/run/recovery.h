// DHCP address recovery: two release-and-renew tries, then the subnet sweep.
#pragma once

// Called with the address state not 0; leaves it 0 (repaired) or not.
void recoverDhcpAddress();
// The sweep for hosts that answer in the usual 192.168 subnets.
void sweepSubnets();
